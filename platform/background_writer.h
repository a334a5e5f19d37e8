#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/status.h"

// Writes a file on a thread of its own: Append copies the bytes into a buffer and returns, while the thread hands the
// buffer before it to the system and starts the disk writing it back. The rewriting, the system calls and the disk
// then overlap; the last Finish waits for all of it. Files smaller than one buffer are written by Finish alone, with
// no thread.
//
// A failure of the thread's writing is told by a later Append, or by Finish; nothing after it is written. The file
// stays the caller's, who must not write to it meanwhile.
class BackgroundWriter {
  public:
    // What the system backend does: writes all of `size` bytes at the end of the file, or fails naming it; and
    // tells the system to start writing [from, from + size) to the disk, if it can.
    class Sink {
      public:
        virtual ~Sink() = default;
        virtual Status WriteAll(const char* data, std::size_t size) = 0;
        virtual void StartWriteBack(std::uint64_t from, std::uint64_t size) = 0;
    };

    explicit BackgroundWriter(Sink& sink) : m_sink(sink) {}
    ~BackgroundWriter() { Finish().IgnoreError(); }
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    Status Append(const char* data, std::size_t size);
    // Writes what is left, waits for the thread and returns the first failure.
    Status Finish();

  private:
    static constexpr std::size_t kBufferSize = 512 << 10;
    static constexpr std::uint64_t kWriteBackStep = 2 << 20;

    // Hands m_filling to the thread, once the one before is written.
    Status HandOver();
    void Run();
    // Writes `size` bytes and starts their write-back every kWriteBackStep; the thread's, or Finish's once it is gone.
    Status Write(const char* data, std::size_t size);

    Sink& m_sink;
    std::string m_buffers[2];
    int m_filling_index = 0;
    std::size_t m_filled = 0;
    std::uint64_t m_written = 0;
    std::uint64_t m_written_back = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_thread;
    bool m_started = false;
    std::size_t m_in_flight = 0;  // bytes of the other buffer the thread still has to write; guarded by m_mutex
    bool m_stop = false;          // guarded by m_mutex
    Status m_failure;             // guarded by m_mutex
};
