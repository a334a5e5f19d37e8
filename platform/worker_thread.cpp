#include "platform/worker_thread.h"

#include <system_error>

namespace {

// How often a side looks at the state, letting other threads run in between, before it sleeps: about a
// millisecond.
constexpr int kLooks = 2000;

}  // namespace

WorkerThread::~WorkerThread() {
    if (m_started) {
        Set(kStop);
        m_thread.join();
    }
}

void WorkerThread::Set(State state) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_state.store(state, std::memory_order_release);
    }
    m_changed.notify_all();
}

WorkerThread::State WorkerThread::WaitWhile(State from) {
    for (int look = 0; look < kLooks; ++look) {
        const int state = m_state.load(std::memory_order_acquire);
        if (state != from) {
            return static_cast<State>(state);
        }
        std::this_thread::yield();
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this, from] { return m_state.load(std::memory_order_acquire) != from; });
    return static_cast<State>(m_state.load(std::memory_order_acquire));
}

void WorkerThread::Start(Job& job) {
    if (!m_started) {
        try {
            m_thread = std::thread(&WorkerThread::Loop, this);
            m_started = true;
        } catch (const std::system_error&) {
            // No thread to be had: the job is done here and now, and Wait has nothing to wait for.
            try {
                job.Run();
            } catch (...) {
                m_thrown = std::current_exception();
            }
            return;
        }
    }
    m_job = &job;
    Set(kJob);
}

void WorkerThread::Wait() {
    if (m_started && m_state.load(std::memory_order_acquire) == kJob) {
        WaitWhile(kJob);
    }
    if (m_thrown) {
        std::exception_ptr thrown = m_thrown;
        m_thrown = nullptr;
        std::rethrow_exception(thrown);
    }
}

void WorkerThread::Loop() {
    for (State seen = kIdle;; seen = kDone) {
        if (WaitWhile(seen) == kStop) {
            return;
        }
        try {
            m_job->Run();
        } catch (...) {
            m_thrown = std::current_exception();  // Wait reads it after it sees kDone
        }
        Set(kDone);
    }
}
