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

bool SharedState::Replace(int from, int to) {
    bool replaced = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        replaced = m_value.compare_exchange_strong(from, to, std::memory_order_acq_rel);
    }
    if (replaced) {
        m_changed.notify_all();
    }
    return replaced;
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
    for (int state = m_started ? m_state.Get() : kDone; state == kJob || state == kRunning;) {
        state = m_state.WaitWhile(state);
    }
    if (m_thrown) {
        std::exception_ptr thrown = m_thrown;
        m_thrown = nullptr;
        std::rethrow_exception(thrown);
    }
}

void WorkerThread::Loop() {
    for (int seen = kIdle;; seen = kDone) {
        const int state = m_state.WaitWhile(seen);
        if (state == kStop) {
            return;
        }
        if (!m_state.Replace(kJob, kRunning)) {
            continue;  // taken back before it began
        }
        try {
            m_job->Run();
        } catch (...) {
            m_thrown = std::current_exception();  // Wait reads it after it sees kDone
        }
        m_state.Set(kDone);
    }
}
