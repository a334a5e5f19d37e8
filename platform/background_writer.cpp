#include "platform/background_writer.h"

#include <algorithm>
#include <cstring>
#include <system_error>

Status BackgroundWriter::Append(const char* data, std::size_t size) {
    while (size > 0) {
        std::string& buffer = m_buffers[m_filling_index];
        if (buffer.size() < kBufferSize) {
            buffer.resize(kBufferSize);
        }
        const std::size_t taken = std::min(size, kBufferSize - m_filled);
        std::memcpy(&buffer[m_filled], data, taken);
        m_filled += taken;
        data += taken;
        size -= taken;
        if (m_filled == kBufferSize) {
            Status status = HandOver();
            if (!status.ok()) {
                return status;
            }
        }
    }
    return Status::OK();
}

Status BackgroundWriter::HandOver() {
    if (!m_started) {
        try {
            m_thread = std::thread(&BackgroundWriter::Run, this);
            m_started = true;
        } catch (const std::system_error&) {
            // No thread to be had: the writing is done here, as it would be without one.
            const Status status = Write(m_buffers[m_filling_index].data(), m_filled);
            m_filled = 0;
            return status;
        }
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_in_flight == 0 || !m_failure.ok(); });
    if (!m_failure.ok()) {
        return m_failure;
    }
    m_in_flight = m_filled;
    m_filling_index ^= 1;
    m_filled = 0;
    m_changed.notify_all();
    return Status::OK();
}

void BackgroundWriter::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_in_flight > 0 || m_stop; });
        if (m_in_flight == 0) {
            return;  // stopped with nothing left
        }
        const std::string& buffer = m_buffers[m_filling_index ^ 1];
        const std::size_t size = m_in_flight;
        lock.unlock();
        const Status status = Write(buffer.data(), size);
        lock.lock();
        m_failure = m_failure.ok() ? status : m_failure;
        m_in_flight = 0;
        m_changed.notify_all();
    }
}

Status BackgroundWriter::Write(const char* data, std::size_t size) {
    const Status status = m_sink.WriteAll(data, size);
    if (!status.ok()) {
        return status;
    }
    m_written += size;
    // The disk starts writing while the rest is still being produced, so the final flush has little left to wait
    // for. Only a hint: the flush still decides, and where the hint is missing nothing is lost but time.
    if (m_written - m_written_back >= kWriteBackStep) {
        m_sink.StartWriteBack(m_written_back, m_written - m_written_back);
        m_written_back = m_written;
    }
    return Status::OK();
}

Status BackgroundWriter::Finish() {
    Status status;
    if (m_started) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_in_flight == 0; });
        m_stop = true;
        m_changed.notify_all();
        status = m_failure;
        lock.unlock();
        m_thread.join();
        m_started = false;
        m_stop = false;  // a later Append starts a thread again
    }
    // The thread is gone (or never was): the rest is written here.
    if (status.ok() && m_filled > 0) {
        status = Write(m_buffers[m_filling_index].data(), m_filled);
    }
    m_filled = 0;
    return status;
}
