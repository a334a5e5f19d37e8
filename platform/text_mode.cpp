#include "platform/text_mode.h"

#include <algorithm>

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
// more than the usual LF or CR LF. The counters are bytes and the loop has no early exit, so that the compiler turns it
// into vector instructions; most blocks need nothing more.
struct BlockScan {
    bool stop = false;           // a NUL or a Ctrl-Z
    bool cr_without_lf = false;  // a CR that no LF follows (or one at the end, whose meaning is not known yet)
    bool lf_without_cr = false;  // an LF that no CR comes before (one at the start counts as such)
};

BlockScan ScanBlock(const char* text, std::size_t size) {
    BlockScan scan;
    if (size == 0) {
        return scan;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t stops = 0;
    std::size_t lone_crs = 0;
    std::size_t lone_lfs = 0;
    // Chunks of a whole number of vectors (16 or 32 bytes) that no byte counter can overflow in.
    constexpr std::size_t kChunk = 224;
    for (std::size_t start = 0; start + 1 < size; start += kChunk) {
        const std::size_t end = std::min(start + kChunk, size - 1);
        unsigned char stop = 0;
        unsigned char cr = 0;
        unsigned char lf = 0;
        for (std::size_t i = start; i < end; ++i) {
            const unsigned char c = bytes[i];
            const unsigned char next = bytes[i + 1];
            stop = static_cast<unsigned char>(stop + ((c == 0) | (c == TextLineReader::kEndOfText)));
            cr = static_cast<unsigned char>(cr + ((c == '\r') & (next != '\n')));
            lf = static_cast<unsigned char>(lf + ((next == '\n') & (c != '\r')));
        }
        stops |= stop;
        lone_crs |= cr;
        lone_lfs |= lf;
    }
    const unsigned char last = bytes[size - 1];
    scan.stop = stops != 0 || last == 0 || last == TextLineReader::kEndOfText;
    scan.cr_without_lf = lone_crs != 0 || last == '\r';
    scan.lf_without_cr = lone_lfs != 0 || bytes[0] == '\n';
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
