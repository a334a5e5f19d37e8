#include "platform/worker_thread.h"

#include <system_error>

namespace {

// How often a waiting thread looks at the value before it sleeps: about a millisecond.
constexpr int kLooks = 2000;

}  // namespace

void SharedState::Set(int value) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_value.store(value, std::memory_order_release);
    }
    m_changed.notify_all();
}

int SharedState::WaitWhile(int from) {
    for (int look = 0; look < kLooks; ++look) {
        const int value = Get();
        if (value != from) {
            return value;
        }
        std::this_thread::yield();
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this, from] { return Get() != from; });
    return Get();
}

WorkerThread::~WorkerThread() {
    if (m_started) {
        m_state.Set(kStop);
        m_thread.join();
    }
}

bool WorkerThread::Start(Job& job) {
    if (!m_started) {
        try {
            m_thread = std::thread(&WorkerThread::Loop, this);
            m_started = true;
        } catch (const std::system_error&) {
            return false;
        }
    }
    m_job = &job;
    m_state.Set(kJob);
    return true;
}

void WorkerThread::Wait() {
    if (m_started && m_state.Get() == kJob) {
        m_state.WaitWhile(kJob);
    }
    if (m_thrown) {
        std::exception_ptr thrown = m_thrown;
        m_thrown = nullptr;
        std::rethrow_exception(thrown);
    }
}

void WorkerThread::Loop() {
    for (int seen = kIdle;; seen = kDone) {
        if (m_state.WaitWhile(seen) == kStop) {
            return;
        }
        try {
            m_job->Run();
        } catch (...) {
            m_thrown = std::current_exception();  // Wait reads it after it sees kDone
        }
        m_state.Set(kDone);
    }
}
