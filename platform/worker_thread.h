#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

// A value one thread sets and others wait on. The waits between two threads' jobs here are short, and waking a
// sleeping thread costs about as much as a job, so a waiting thread looks at the value for a while, letting other
// threads run in between, before it sleeps.
class SharedState {
  public:
    explicit SharedState(int value) : m_value(value) {}
    SharedState(const SharedState&) = delete;
    SharedState& operator=(const SharedState&) = delete;

    // What a thread wrote before it set the value is seen by the thread that waits for it.
    void Set(int value);
    int Get() const { return m_value.load(std::memory_order_acquire); }
    // Sets `to` if the value is `from`; whether it was.
    bool Replace(int from, int to);
    // Waits until the value is not `from`; returns the value.
    int WaitWhile(int from);

  private:
    std::atomic<int> m_value;
    std::mutex m_mutex;  // for sleeping on m_changed only
    std::condition_variable m_changed;
};

// A second thread that does one job at a time for its owner: Start hands it a job and returns, Wait returns once the
// job is done. The thread starts with the first job and lives until the object goes.
class WorkerThread {
  public:
    class Job {
      public:
        virtual ~Job() = default;
        virtual void Run() = 0;
    };

    // Whether the machine has more than one processor, so that a second thread can run beside the first.
    static bool HasSecondProcessor() { return std::thread::hardware_concurrency() > 1; }

    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // `job` must live until Wait returns. Only when no job is running. False, doing nothing, when no thread can be
    // had: the caller then does the job itself.
    bool Start(Job& job);
    // Takes back the job Start handed over if the thread has not begun it: true when it had not, and the caller
    // does the job itself.
    bool TakeBack() { return m_started && m_state.Replace(kJob, kDone); }
    // Whether the job Start handed over is done (or was taken back): Wait would return at once.
    bool Done() const { return !m_started || m_state.Get() == kDone; }
    // Waits for the job Start handed over; what it threw is thrown here.
    void Wait();

  private:
    enum State { kIdle, kJob, kRunning, kDone, kStop };
    void Loop();

    std::thread m_thread;
    bool m_started = false;
    SharedState m_state{kIdle};
    Job* m_job = nullptr;
    std::exception_ptr m_thrown;
};
