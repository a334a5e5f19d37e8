#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

// A second thread that does one job at a time for its owner: Start hands it a job and returns, Wait returns once the
// job is done. The thread starts with the first job and lives until the object goes. Where no thread can be had, Start
// does the job itself before it returns, so that a caller needs no second way.
//
// Jobs come one after the other, each a fraction of a millisecond, so both sides first look for a while before
// they sleep: waking a sleeping thread costs about as much as a job.
class WorkerThread {
  public:
    class Job {
      public:
        virtual ~Job() = default;
        virtual void Run() = 0;
    };

    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // `job` must live until Wait returns. Only when no job is running.
    void Start(Job& job);
    // Waits for the job Start handed over; what it threw is thrown here.
    void Wait();

  private:
    enum State { kIdle, kJob, kDone, kStop };
    void Loop();
    // Waits until m_state is not `from`; returns the new state.
    State WaitWhile(State from);
    void Set(State state);

    std::thread m_thread;
    bool m_started = false;
    std::atomic<int> m_state{kIdle};
    std::mutex m_mutex;  // for sleeping on m_changed only
    std::condition_variable m_changed;
    Job* m_job = nullptr;
    std::exception_ptr m_thrown;
};
