#include "platform/text_mode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::size_t kHeadSize = 4;
const char kNotTextReason[] = "it looks like a binary file or UTF-16 text without a byte-order mark";

// The bytes after a Ctrl-Z that would be lost: all but further marks and line ends, which editors leave behind.
std::uint64_t CountText(const char* bytes, std::size_t count) {
    std::uint64_t text = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        text += c != TextLineReader::kEndOfText && c != '\r' && c != '\n';
    }
    return text;
}

// What one pass over freshly read bytes finds: the marks that stop or refuse the input, and the line ends that need
// more than the usual LF or CR LF. Most blocks need nothing more.
struct BlockScan {
    bool stop = false;           // a NUL or a Ctrl-Z
    bool cr_without_lf = false;  // a CR that no LF follows (or one at the end, whose meaning is not known yet)
    bool lf_without_cr = false;  // an LF that no CR comes before (one at the start counts as such)
};

// Adds what bytes[i] and the byte after it show to `scan`.
void ScanPair(unsigned char c, unsigned char next, BlockScan* scan) {
    scan->stop |= (c == 0) | (c == TextLineReader::kEndOfText);
    scan->cr_without_lf |= (c == '\r') & (next != '\n');
    scan->lf_without_cr |= (next == '\n') & (c != '\r');
}

#if defined(__SSE2__)
// Sixteen bytes a step, in vector registers; what it finds is only gathered at the end.
std::size_t ScanInSteps(const unsigned char* bytes, std::size_t size, BlockScan* scan) {
    using Bytes = unsigned char __attribute__((vector_size(16)));
    const Bytes none = {};
    const Bytes end_of_text = none + TextLineReader::kEndOfText;
    const Bytes cr = none + '\r';
    const Bytes lf = none + '\n';
    Bytes stops = none;
    Bytes lone_crs = none;
    Bytes lone_lfs = none;
    std::size_t i = 0;
    for (; i + 17 <= size; i += 16) {
        Bytes c;
        Bytes next;
        std::memcpy(&c, bytes + i, 16);
        std::memcpy(&next, bytes + i + 1, 16);
        const Bytes is_cr = (Bytes)(c == cr);
        const Bytes lf_next = (Bytes)(next == lf);
        stops |= (Bytes)(c == none) | (Bytes)(c == end_of_text);
        lone_crs |= is_cr & ~lf_next;
        lone_lfs |= lf_next & ~is_cr;
    }
    const auto any = [](const Bytes& found) {
        std::uint64_t halves[2];
        std::memcpy(halves, &found, 16);
        return (halves[0] | halves[1]) != 0;
    };
    scan->stop = any(stops);
    scan->cr_without_lf = any(lone_crs);
    scan->lf_without_cr = any(lone_lfs);
    return i;
}
#else
// Where there are no vector registers to count on, the pairs one at a time.
std::size_t ScanInSteps(const unsigned char*, std::size_t, BlockScan*) {
    return 0;
}
#endif

BlockScan ScanBlock(const char* text, std::size_t size) {
    BlockScan scan;
    if (size == 0) {
        return scan;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    for (std::size_t i = ScanInSteps(bytes, size, &scan); i + 1 < size; ++i) {
        ScanPair(bytes[i], bytes[i + 1], &scan);
    }
    const unsigned char last = bytes[size - 1];
    scan.stop |= last == 0 || last == TextLineReader::kEndOfText;
    scan.cr_without_lf |= last == '\r';
    scan.lf_without_cr |= bytes[0] == '\n';
    return scan;
}

}  // namespace

TextLineReader::TextLineReader(ReadableFile& file, std::string name, std::size_t block_size)
    : m_file(file), m_name(std::move(name)) {
    m_block.resize(block_size < kHeadSize ? kHeadSize : block_size);
}

void TextLineReader::Refuse(const std::string& reason) {
    m_status = FileError(Status::Code::kUnsupported, "Cannot synchronize", m_name, reason);
    m_at_end = true;
}

void TextLineReader::Take(std::size_t got) {
    const char* fresh = ReadTarget();
    const BlockScan scan = ScanBlock(fresh, got);
    if (scan.stop && std::memchr(fresh, '\0', got) != nullptr) {
        Refuse(kNotTextReason);
        // The bytes stay for Head, which tells UTF-16 and UTF-32 apart; no line is handed out.
        m_end += m_pending + got;
        m_pending = 0;
        return;
    }
    const char* mark = scan.stop ? static_cast<const char*>(std::memchr(fresh, kEndOfText, got)) : nullptr;
    if (mark != nullptr) {
        m_at_end = true;
        ReadPastEndMark(CountText(mark + 1, static_cast<std::size_t>(fresh + got - mark - 1)));
        got = static_cast<std::size_t>(mark - fresh);
    }
    // Pending CRs before the fresh bytes, or bytes cut off at a mark, make the scan's answer about line ends void.
    const bool known = m_pending == 0 && mark == nullptr;
    m_all_cr_lf = m_all_cr_lf && known && !scan.cr_without_lf && !scan.lf_without_cr;
    TakeLineEnds(m_pending + got, known && !scan.cr_without_lf);
}

void TextLineReader::TakeLineEnds(std::size_t size, bool lf_and_cr_lf_only) {
    char* const text = &m_block[m_end];
    if (lf_and_cr_lf_only) {
        m_end += size;
        m_pending = 0;
        return;
    }
    std::size_t kept = 0;  // bytes of `text` in place so far; a dropped CR moves the rest back
    std::size_t done = 0;
    for (;;) {
        const void* found = std::memchr(text + done, '\r', size - done);
        const std::size_t cr =
            found == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(found) - text);
        if (kept != done) {
            std::memmove(text + kept, text + done, cr - done);
        }
        kept += cr - done;
        if (cr == size) {
            break;
        }
        const std::size_t after = size - cr - 1;  // bytes that follow the CR
        const bool unknown = after == 0 || (after == 1 && text[cr + 1] == '\r');
        if (unknown && !m_at_end) {
            m_end += kept;
            m_pending = size - cr;
            std::memmove(text + kept, text + cr, m_pending);
            return;
        }
        if (after >= 1 && text[cr + 1] == '\n') {
            text[kept++] = '\r';  // CR LF: the reader drops the CR with the LF
        } else if (after >= 2 && text[cr + 1] == '\r' && text[cr + 2] == '\n') {
            // CR CR LF is one line end: the first CR goes, CR LF stays.
        } else {
            text[kept++] = '\n';  // a CR alone
        }
        done = cr + 1;
    }
    m_end += kept;
    m_pending = 0;
}

void TextLineReader::EndInput() {
    m_at_end = true;
    if (m_pending > 0 && m_status.ok()) {
        m_all_cr_lf = false;
        TakeLineEnds(m_pending, false);
    }
}

void TextLineReader::ReadPastEndMark(std::uint64_t text) {
    // The current block still holds the lines before the mark, so the rest goes through a buffer of its own, once.
    std::string ahead(m_block.size(), '\0');
    for (;;) {
        std::size_t got = 0;
        m_status = m_file.Read(&ahead[0], ahead.size(), &got);
        if (!m_status.ok()) {
            return;
        }
        if (got == 0) {
            break;
        }
        if (std::memchr(ahead.data(), '\0', got) != nullptr) {
            Refuse(kNotTextReason);
            return;
        }
        text += CountText(ahead.data(), got);
    }
    if (text > 0) {
        Refuse("it holds an end-of-file mark (Ctrl-Z) with " + std::to_string(text) + (text == 1 ? " byte" : " bytes") +
               " of text after it, which would be lost");
    }
}

Status TextLineReader::Begin() {
    if (m_begun) {
        return m_status;
    }
    m_begun = true;
    // A pipe may deliver the first bytes one at a time; gather enough to see a byte-order mark.
    return Gather(kHeadSize);
}

Status TextLineReader::Gather(std::size_t size) {
    while (m_status.ok() && !m_at_end && m_end < size && ReadRoom() > 0) {
        std::size_t got = 0;
        m_status = m_file.Read(ReadTarget(), ReadRoom(), &got);
        if (!m_status.ok()) {
            m_at_end = true;
            break;
        }
        if (got == 0) {
            EndInput();
            break;
        }
        Take(got);
    }
    return m_status;
}

bool TextLineReader::Fill() {
    if (m_spare.size() != m_block.size()) {
        m_spare.resize(m_block.size());
    }
    if (m_block_user != nullptr) {
        m_block_user->BeforeOverwrite(m_spare.data(), m_spare.data() + m_spare.size());
    }
    std::memcpy(&m_spare[0], &m_block[m_end], m_pending);
    m_block.swap(m_spare);
    m_start = 0;
    m_end = 0;
    m_all_cr_lf = true;
    std::size_t got = 0;
    m_status = m_file.Read(ReadTarget(), ReadRoom(), &got);
    if (!m_status.ok()) {
        m_at_end = true;
        return false;
    }
    if (got == 0) {
        EndInput();
        return m_status.ok();
    }
    Take(got);
    return m_status.ok();
}

bool TextLineReader::ReadLineAcrossBlocks(std::string_view* line) {
    if (!Begin().ok()) {
        return false;
    }
    m_spill.clear();
    bool spilling = false;
    for (;;) {
        const char* begin = m_block.data() + m_start;
        const std::size_t available = m_end - m_start;
        const void* found = std::memchr(begin, '\n', available);
        if (found != nullptr) {
            std::size_t length = static_cast<std::size_t>(static_cast<const char*>(found) - begin);
            m_start += length + 1;
            if (spilling) {
                m_spill.append(begin, length);
                if (!m_spill.empty() && m_spill.back() == '\r') {
                    m_spill.pop_back();
                }
                *line = m_spill;
            } else {
                if (length > 0 && begin[length - 1] == '\r') {
                    --length;
                }
                *line = std::string_view(begin, length);
            }
            return true;
        }
        if (available > 0) {
            m_spill.append(begin, available);
            spilling = true;
            m_start = m_end;
        }
        if (m_at_end) {
            *line = m_spill;
            return spilling && m_status.ok();
        }
        if (!Fill()) {
            return false;
        }
    }
}

TextLineWriter::TextLineWriter(WritableFile& file, std::size_t block_size) : m_file(file) {
    m_block.resize(block_size < 2 ? 2 : block_size);
}

bool TextLineWriter::Put(std::string_view bytes) {
    // Only whole blocks go to the file before Flush, however the bytes came: the file sees the same calls whichever
    // way a run hands its lines over.
    while (!bytes.empty()) {
        if (m_used == m_block.size() && !Flush()) {
            return false;
        }
        const std::size_t taken = std::min(bytes.size(), m_block.size() - m_used);
        std::memcpy(&m_block[m_used], bytes.data(), taken);
        m_used += taken;
        bytes.remove_prefix(taken);
    }
    return true;
}

bool TextLineWriter::Flush() {
    if (!m_status.ok()) {
        return false;
    }
    if (m_used > 0) {
        m_status = m_file.Append(m_block.data(), m_used);
        m_used = 0;
    }
    return m_status.ok();
}

std::string DecodeText(std::string_view raw) {
    std::string text;
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == TextLineReader::kEndOfText) {
            break;
        }
        if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            continue;
        }
        text.push_back(c);
    }
    return text;
}

std::string EncodeText(std::string_view text) {
    std::string raw;
    raw.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n') {
            raw.push_back('\r');
        }
        raw.push_back(c);
    }
    return raw;
}
