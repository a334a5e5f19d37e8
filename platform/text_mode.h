#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/file_system.h"

// Text-mode reading, the same on every system: lines end at LF, a CR right before the LF is dropped with it (a lone
// CR stays in the line), and a byte 0x1A ends the input. A last line without LF is still a line. Reads in large
// blocks; memory is bounded by the longest line.
class TextLineReader {
public:
    static constexpr std::size_t kDefaultBlockSize = 256 * 1024;
    static constexpr char kEndOfText = 0x1A;

    explicit TextLineReader(ReadableFile& file, std::size_t block_size = kDefaultBlockSize);

    // Reads the first block and looks at its start. Call once before ReadLine; later calls do nothing.
    Status Begin();
    // The first bytes of the input, as Begin saw them (at most 4).
    std::string_view Head() const { return std::string_view(m_block.data() + m_start, m_end - m_start).substr(0, 4); }
    // Drops `count` bytes from the start of the input (a byte-order mark). Only right after Begin.
    void Skip(std::size_t count) { m_start += count; }

    // On success sets `*has_line`; when true, `*line` holds the next line without its terminator. The view stays
    // valid until the next call.
    Status ReadLine(std::string_view* line, bool* has_line);

private:
    Status Fill();

    ReadableFile& m_file;
    std::string m_block;   // the current block; [m_start, m_end) not yet handed out
    std::string m_spill;   // a line that runs across blocks
    std::size_t m_start = 0;
    std::size_t m_end = 0;
    bool m_begun = false;
    bool m_at_end = false;  // no more bytes will come from the file
};

// Text-mode writing: every line is stored followed by CR LF. Writes in large blocks.
class TextLineWriter {
public:
    static constexpr std::size_t kDefaultBlockSize = 256 * 1024;

    explicit TextLineWriter(WritableFile& file, std::size_t block_size = kDefaultBlockSize);

    // Stores bytes as they are (a byte-order mark).
    Status WriteRaw(std::string_view bytes);
    Status WriteLine(std::string_view line);
    // Hands everything buffered to the file.
    Status Flush();

private:
    Status Put(std::string_view bytes);

    WritableFile& m_file;
    std::string m_block;
    std::size_t m_used = 0;
};

// Whole-string forms of the same rules, for small files read or written in one piece.
std::string DecodeText(std::string_view raw);
std::string EncodeText(std::string_view text);
