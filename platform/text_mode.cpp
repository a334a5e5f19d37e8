#include "platform/text_mode.h"

#include <cstring>

namespace {

constexpr std::size_t kHeadSize = 4;

}  // namespace

TextLineReader::TextLineReader(ReadableFile& file, std::size_t block_size) : m_file(file) {
    m_block.resize(block_size < kHeadSize ? kHeadSize : block_size);
}

Status TextLineReader::Begin() {
    if (m_begun) {
        return Status::OK();
    }
    m_begun = true;
    // A pipe may deliver the first bytes one at a time; gather enough to see a byte-order mark.
    while (!m_at_end && m_end < kHeadSize) {
        std::size_t got = 0;
        Status status = m_file.Read(&m_block[m_end], m_block.size() - m_end, &got);
        if (!status.ok()) {
            return status;
        }
        if (got == 0) {
            m_at_end = true;
            break;
        }
        const void* stop = std::memchr(&m_block[m_end], kEndOfText, got);
        if (stop != nullptr) {
            m_end = static_cast<const char*>(stop) - m_block.data();
            m_at_end = true;
            break;
        }
        m_end += got;
    }
    return Status::OK();
}

Status TextLineReader::Fill() {
    m_start = 0;
    m_end = 0;
    std::size_t got = 0;
    Status status = m_file.Read(&m_block[0], m_block.size(), &got);
    if (!status.ok()) {
        return status;
    }
    if (got == 0) {
        m_at_end = true;
        return Status::OK();
    }
    const void* stop = std::memchr(m_block.data(), kEndOfText, got);
    if (stop != nullptr) {
        got = static_cast<const char*>(stop) - m_block.data();
        m_at_end = true;
    }
    m_end = got;
    return Status::OK();
}

Status TextLineReader::ReadLine(std::string_view* line, bool* has_line) {
    Status status;
    // Checked here rather than in Begin, so that the steady state makes no call and no Status for it.
    if (!m_begun) {
        status = Begin();
        if (!status.ok()) {
            return status;
        }
    }
    m_spill.clear();
    bool spilling = false;
    for (;;) {
        const char* begin = m_block.data() + m_start;
        const std::size_t available = m_end - m_start;
        const void* found = std::memchr(begin, '\n', available);
        if (found != nullptr) {
            std::size_t length = static_cast<const char*>(found) - begin;
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
            *has_line = true;
            return Status::OK();
        }
        if (available > 0) {
            m_spill.append(begin, available);
            spilling = true;
            m_start = m_end;
        }
        if (m_at_end) {
            *has_line = spilling;
            *line = m_spill;
            return Status::OK();
        }
        status = Fill();
        if (!status.ok()) {
            return status;
        }
    }
}

TextLineWriter::TextLineWriter(WritableFile& file, std::size_t block_size) : m_file(file) {
    m_block.resize(block_size < 2 ? 2 : block_size);
}

Status TextLineWriter::Put(std::string_view bytes) {
    if (bytes.size() > m_block.size() - m_used) {
        Status status = Flush();
        if (!status.ok()) {
            return status;
        }
        if (bytes.size() >= m_block.size()) {
            return m_file.Append(bytes.data(), bytes.size());
        }
    }
    std::memcpy(&m_block[m_used], bytes.data(), bytes.size());
    m_used += bytes.size();
    return Status::OK();
}

Status TextLineWriter::WriteRaw(std::string_view bytes) {
    return Put(bytes);
}

Status TextLineWriter::WriteLine(std::string_view line) {
    if (line.size() + 2 <= m_block.size() - m_used) {
        char* out = &m_block[m_used];
        std::memcpy(out, line.data(), line.size());
        out[line.size()] = '\r';
        out[line.size() + 1] = '\n';
        m_used += line.size() + 2;
        return Status::OK();
    }
    Status status = Put(line);
    return status.ok() ? Put("\r\n") : status;
}

Status TextLineWriter::Flush() {
    if (m_used == 0) {
        return Status::OK();
    }
    Status status = m_file.Append(m_block.data(), m_used);
    m_used = 0;
    return status;
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
