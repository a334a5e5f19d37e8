#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/byte_search.h"
#include "platform/file_system.h"

// Text-mode reading, the same on every system: a line ends at LF, at CR LF, at CR CR LF (a file whose line ends were
// converted twice) and at a CR that no LF follows (old Mac files; WebVTT allows it); a byte 0x1A (Ctrl-Z) ends the
// input. A last line without a line end is still a line. Reads in large blocks; memory is bounded by the longest line.
//
// Input that is not text is refused with a kUnsupported status, "Cannot synchronize NAME: REASON", and no line of the
// block that shows it is handed out: a NUL byte anywhere (a binary file, or UTF-16 without a byte-order mark), or a
// Ctrl-Z followed by anything but more Ctrl-Z and line ends, which would be lost. To decide the latter the reader
// reads on to the end of the input when it meets the mark; the reason counts the bytes after the mark that are
// neither Ctrl-Z nor CR nor LF.
class TextLineReader {
  public:
    static constexpr std::size_t kDefaultBlockSize = 256 * 1024;
    static constexpr char kEndOfText = 0x1A;

    // Told before the reader reads into memory that still holds lines it handed out: the block before the current
    // one. (Each read goes into the other of two blocks, so the lines of one block stay as they are while the next
    // is read, unless a line runs across both.)
    class BlockUser {
      public:
        virtual ~BlockUser() = default;
        virtual void BeforeOverwrite(const char* begin, const char* end) = 0;
    };
    void SetBlockUser(BlockUser* user) { m_block_user = user; }

    // `name` is what refusals call the input (a path, "standard input").
    TextLineReader(ReadableFile& file, std::string name, std::size_t block_size = kDefaultBlockSize);

    // Reads the first block and looks at its start. ReadLine calls it when nobody did; later calls do nothing.
    Status Begin();
    // The first bytes of the input, as Begin saw them (at most 4), even when Begin refused the input.
    std::string_view Head() const { return std::string_view(m_block.data() + m_start, m_end - m_start).substr(0, 4); }
    // What the reader holds of the input and has not handed out yet: right after Begin, the first block.
    std::string_view Buffered() const { return std::string_view(m_block.data() + m_start, m_end - m_start); }
    // Right after Begin: reads on until Buffered() holds `size` bytes, the block is full or the input ends.
    Status Gather(std::size_t size);
    // Drops `count` bytes from the start of the input (a byte-order mark). Only right after Begin.
    void Skip(std::size_t count) { m_start += count; }

    // Sets `*line` to the next line without its terminator and returns true; the view stays valid until the next
    // call. Returns false at the end of the input, on a read error or on a refusal, which status() then holds.
    bool ReadLine(std::string_view* line) {
        // The usual case, a whole line inside the current block, costs one search.
        if (m_begun && m_status.ok()) {
            const char* begin = m_block.data() + m_start;
            const char* found = FindByte(begin, begin + (m_end - m_start), '\n');
            if (found != nullptr) {
                std::size_t length = static_cast<std::size_t>(found - begin);
                m_start += length + 1;
                if (length > 0 && begin[length - 1] == '\r') {
                    --length;
                }
                *line = std::string_view(begin, length);
                return true;
            }
        }
        return ReadLineAcrossBlocks(line);
    }

    // The whole lines that follow in the current block, each with its LF or CR LF, and moves past them; empty when
    // the block holds no whole line (ReadLine then reads across blocks) or after a failure. The view stays valid
    // until the reader reads into its memory again (see BlockUser), at the earliest at the second read after it.
    std::string_view TakeWholeLines() {
        if (!m_begun || !m_status.ok()) {
            return std::string_view();
        }
        std::size_t end = m_end;
        while (end > m_start && m_block[end - 1] != '\n') {
            --end;
        }
        const std::string_view lines(m_block.data() + m_start, end - m_start);
        m_start = end;
        return lines;
    }

    // Whether every line end among the lines that the current block still holds is CR LF (false when that is not
    // known): TakeWholeLines may then be written as it is.
    bool LineEndsAreCrLf() const { return m_all_cr_lf; }

    const Status& status() const { return m_status; }

  private:
    bool ReadLineAcrossBlocks(std::string_view* line);
    bool Fill();
    // Appends `got` freshly read bytes (after the pending ones) at m_end, stopping at a 0x1A, or refuses them.
    void Take(std::size_t got);
    // Turns the line ends of [m_end, m_end + size) into LF or CR LF, moves m_end past them, and keeps back as pending
    // a CR or two at the end whose meaning the next bytes decide (unless the input ends there). When the caller knows
    // that every CR there comes before an LF, nothing needs doing.
    void TakeLineEnds(std::size_t size, bool lf_and_cr_lf_only);
    // Where the next read goes, and how much it may bring.
    char* ReadTarget() { return &m_block[m_end + m_pending]; }
    std::size_t ReadRoom() const { return m_block.size() - m_end - m_pending; }
    // The input ended: pending CRs are line ends of their own.
    void EndInput();
    // Reads the rest of the input after a Ctrl-Z; `text` counts what would be lost.
    void ReadPastEndMark(std::uint64_t text);
    void Refuse(const std::string& reason);

    ReadableFile& m_file;
    std::string m_name;
    Status m_status;
    std::string m_block;  // the current block; [m_start, m_end) not yet handed out
    std::string m_spare;  // the block before; the next read goes there
    BlockUser* m_block_user = nullptr;
    std::string m_spill;  // a line that runs across blocks
    std::size_t m_start = 0;
    std::size_t m_end = 0;
    std::size_t m_pending = 0;  // bytes after m_end read but not yet taken: a CR, or two, at the end of a read
    bool m_begun = false;
    bool m_at_end = false;    // no more bytes will come from the file
    bool m_all_cr_lf = true;  // every line end in the current block is CR LF, as far as is known
};

// Text-mode writing: every line is stored followed by CR LF. Writes in large blocks, each full but the one Flush
// writes, however the lines come. A call returns false when handing a block to the file failed; the failure is kept
// in status(), and Flush fails from then on.
class TextLineWriter {
  public:
    static constexpr std::size_t kDefaultBlockSize = 256 * 1024;

    explicit TextLineWriter(WritableFile& file, std::size_t block_size = kDefaultBlockSize);

    // Stores bytes as they are (a byte-order mark, lines that end in CR LF already).
    bool WriteRaw(std::string_view bytes) {
        if (bytes.size() <= m_block.size() - m_used) {
            std::memcpy(&m_block[m_used], bytes.data(), bytes.size());
            m_used += bytes.size();
            return true;
        }
        return Put(bytes);
    }

    bool WriteLine(std::string_view line) {
        if (line.size() + 2 <= m_block.size() - m_used) {
            char* out = &m_block[m_used];
            std::memcpy(out, line.data(), line.size());
            out[line.size()] = '\r';
            out[line.size() + 1] = '\n';
            m_used += line.size() + 2;
            return true;
        }
        return Put(line) && Put("\r\n");
    }

    // Where `size` bytes may be stored right away, to be kept with Commit; nullptr when the block has less room.
    char* Room(std::size_t size) { return size <= m_block.size() - m_used ? &m_block[m_used] : nullptr; }
    // Keeps what was stored in the room Room gave, up to `end`.
    void Commit(const char* end) { m_used = static_cast<std::size_t>(end - m_block.data()); }

    // Hands everything buffered to the file.
    bool Flush();
    // What is buffered and not yet handed to the file; Drop forgets it. For a writer whose block is only a place in
    // memory, so that the bytes need not be copied out through a file.
    std::string_view Buffered() const { return std::string_view(m_block.data(), m_used); }
    void Drop() { m_used = 0; }

    const Status& status() const { return m_status; }

  private:
    bool Put(std::string_view bytes);

    WritableFile& m_file;
    Status m_status;
    std::string m_block;
    std::size_t m_used = 0;
};

// Whole-string forms of the line-end and Ctrl-Z rules, for small files read or written in one piece; nothing is
// refused.
std::string DecodeText(std::string_view raw);
std::string EncodeText(std::string_view text);
