#include "platform/posix/background_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/posix/posix_error.h"

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
    while (size > 0) {
        const ssize_t n = write(m_fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return PosixError("Cannot write", m_path, errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        m_written += static_cast<std::uint64_t>(n);
    }
    // The disk starts writing while the rest is still being produced, so the final flush has little left to wait
    // for. Only a hint: the flush still decides, and where the hint is missing nothing is lost but time.
    if (m_written - m_written_back >= kWriteBackStep) {
#ifdef SYNC_FILE_RANGE_WRITE
        sync_file_range(m_fd, static_cast<off_t>(m_written_back), static_cast<off_t>(m_written - m_written_back),
                        SYNC_FILE_RANGE_WRITE);
#endif
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
