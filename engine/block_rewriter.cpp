#include "engine/block_rewriter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "engine/text_units.h"
#include "platform/byte_search.h"
#include "platform/worker_thread.h"

namespace {

// Hands the lines of a block to the rewriter and the writer, but for plain lines, which it would write as they are:
// those go to the writer in runs, as they stand when their line ends are CR LF already. When the rewriter switches
// plain lines instead, each is switched straight into the writer's block. A line needs the rewriter when it holds "-->"
// or starts with '{' (a MicroDVD frame line), when it comes right before such a line (a cue number), and while the
// rewriter holds a line.
class PlainLineCopier {
  public:
    PlainLineCopier(LineRewriter& rewriter, TextLineWriter& writer)
        : m_rewriter(rewriter), m_writer(writer), m_switch(rewriter.SwitchesPlainLines()) {}

    // `lines`: whole lines, each with its LF or CR LF (with CR LF only when `all_cr_lf`). False when writing failed.
    bool Copy(std::string_view lines, bool all_cr_lf) {
        m_lines = lines;
        m_arrow = m_arrow_line = m_brace = 0;
        m_written = true;
        m_all_cr_lf = all_cr_lf;
        for (std::size_t pos = 0; pos < lines.size() && m_written;) {
            const std::size_t needed = NextNeeded(pos);
            while (pos < needed && m_rewriter.Holding() && m_written) {
                pos = Feed(pos);
            }
            if (pos < needed) {
                // The line before a timing line is fed, unless it is a cue number that stays as it is.
                const std::size_t last = LineStart(needed - 1);
                const bool keeps_number = m_rewriter.KeepsNumber(LineEndingAt(last, needed));
                if (m_switch) {
                    SwitchPlainLines(pos, last);
                    pos = last;
                }
                if (keeps_number) {
                    CopyAsTheyAre(pos, needed);
                    pos = needed;
                } else {
                    CopyAsTheyAre(pos, last);
                    pos = Feed(last);
                }
            }
            if (pos < lines.size() && m_written) {
                const bool arrow_line = pos == m_arrow_line && pos != m_brace && !m_rewriter.Holding();
                pos = arrow_line ? FeedArrowLine(pos) : Feed(pos);
            }
        }
        return m_written;
    }

  private:
    // The line that starts at `start` and whose line end comes right before `next`, without the line end.
    std::string_view LineEndingAt(std::size_t start, std::size_t next) const {
        const std::size_t end = next - 1 - (next - 1 > start && m_lines[next - 2] == '\r' ? 1 : 0);
        return m_lines.substr(start, end - start);
    }

    // Where the line that holds `at` starts. Looks at eight bytes at a time: the last line end among them is the
    // highest byte that is zero after an exclusive or, found exactly (no carry runs from one byte into the next).
    std::size_t LineStart(std::size_t at) const {
        const char* data = m_lines.data();
        constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
        constexpr bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
        while (at >= 8) {
            std::uint64_t word;
            std::memcpy(&word, data + at - 8, 8);
            const std::uint64_t x = word ^ (0x0101010101010101ull * '\n');
            const std::uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7);  // 0x80 in each byte that was '\n'
            if (zero != 0) {
                const int last = kLittleEndian ? 7 - __builtin_clzll(zero) / 8 : __builtin_ctzll(zero) / 8 ^ 7;
                return at - 8 + static_cast<std::size_t>(last) + 1;
            }
            at -= 8;
        }
        while (at > 0 && data[at - 1] != '\n') {
            --at;
        }
        return at;
    }

    // The start of the first line at or after `pos` (a line start) that holds "-->" or starts with '{'; or the end.
    std::size_t NextNeeded(std::size_t pos) {
        const char* data = m_lines.data();
        const std::size_t size = m_lines.size();
        if (m_arrow < pos + 2) {
            m_arrow = Find(pos, '>', [data, pos](std::size_t at) {
                return at >= pos + 2 && data[at - 1] == '-' && data[at - 2] == '-';
            });
            m_arrow_line = m_arrow == size ? size : LineStart(m_arrow);
        }
        if (m_brace < pos) {
            m_brace = Find(pos, '{', [data, pos](std::size_t at) { return at == pos || data[at - 1] == '\n'; });
        }
        return std::min(m_arrow_line, m_brace);
    }

    // The first `byte` at or after `from` where `wanted` holds; or the end.
    template <typename Wanted>
    std::size_t Find(std::size_t from, char byte, Wanted wanted) const {
        const char* data = m_lines.data();
        const std::size_t size = m_lines.size();
        while (from < size) {
            const char* found = FindByte(data + from, data + size, byte);
            if (found == nullptr) {
                break;
            }
            const auto at = static_cast<std::size_t>(found - data);
            if (wanted(at)) {
                return at;
            }
            from = at + 1;
        }
        return size;
    }

    // The line at `pos` (a line start) without its line end, which lies at or after `from`; `*next` is where the
    // next line starts.
    std::string_view LineFrom(std::size_t pos, std::size_t from, std::size_t* next) const {
        const char* data = m_lines.data();
        const char* found = FindByte(data + from, data + m_lines.size(), '\n');
        std::size_t length = static_cast<std::size_t>(found - data) - pos;
        *next = pos + length + 1;
        if (length > 0 && data[pos + length - 1] == '\r') {
            --length;
        }
        return std::string_view(data + pos, length);
    }

    // Feeds the line at `pos`; returns where the next starts.
    std::size_t Feed(std::size_t pos) {
        std::size_t next;
        const std::size_t ready = m_rewriter.Feed(LineFrom(pos, pos, &next));
        for (std::size_t i = 0; i < ready; ++i) {
            m_written = m_writer.WriteLine(m_rewriter.Line(i)) && m_written;
        }
        return next;
    }

    // Feeds the line at `pos` that holds the arrow found last; returns where the next starts. The line that comes out
    // goes straight into the writer's block when it fits there.
    std::size_t FeedArrowLine(std::size_t pos) {
        std::size_t next;
        const std::string_view line = LineFrom(pos, m_arrow, &next);
        if (char* room = m_writer.Room(LineRewriter::ArrowLineRoom(line) + 2)) {
            char* end = m_rewriter.FeedArrowLineTo(line, room);
            end[0] = '\r';
            end[1] = '\n';
            m_writer.Commit(end + 2);
        } else {
            m_rewriter.FeedArrowLine(line);
            m_written = m_writer.WriteLine(m_rewriter.Line(0)) && m_written;
        }
        return next;
    }

    // Plain lines [pos, end), which the rewriter switches, each into the writer's block when it has room.
    void SwitchPlainLines(std::size_t pos, std::size_t end) {
        while (pos < end && m_written) {
            std::size_t next;
            const std::string_view line = LineFrom(pos, pos, &next);
            if (char* room = m_writer.Room(line.size() + 2)) {
                m_rewriter.SwitchLineTo(line, room);
                room[line.size()] = '\r';
                room[line.size() + 1] = '\n';
                m_writer.Commit(room + line.size() + 2);
            } else {
                m_written = m_writer.WriteLine(m_rewriter.SwitchLine(line));
            }
            pos = next;
        }
    }

    // Lines [pos, end) that the rewriter would write as they are: in one piece when every line end is CR LF (the
    // reader leaves a CR only before an LF), else a line at a time.
    void CopyAsTheyAre(std::size_t pos, std::size_t end) {
        if (pos == end) {
            return;
        }
        const std::string_view run = m_lines.substr(pos, end - pos);
        if (m_all_cr_lf) {
            m_written = m_writer.WriteRaw(run) && m_written;
            return;
        }
        for (std::size_t at = 0; at < run.size();) {
            const std::size_t line_end = run.find('\n', at);
            std::size_t length = line_end - at;
            if (length > 0 && run[line_end - 1] == '\r') {
                --length;
            }
            m_written = m_writer.WriteLine(run.substr(at, length)) && m_written;
            at = line_end + 1;
        }
    }

    LineRewriter& m_rewriter;
    TextLineWriter& m_writer;
    std::string_view m_lines;
    std::size_t m_arrow = 0;       // where the next "-->" ends ('>'), as far as it is known
    std::size_t m_arrow_line = 0;  // where the line that holds it starts
    std::size_t m_brace = 0;       // where the next line that starts with '{' starts, as far as it is known
    bool m_written = true;
    bool m_all_cr_lf = false;  // every line end of m_lines is CR LF
    const bool m_switch;       // plain lines are switched, not copied
};

// Rewrites whole lines with one rewriter: through the copier when the rewriter keeps plain lines, else a line at a
// time. False when writing failed or the rewriter failed on a line.
bool RewritePart(LineRewriter& rewriter, TextLineWriter& writer, std::string_view lines, bool all_cr_lf) {
    if (rewriter.KeepsPlainLines() || rewriter.SwitchesPlainLines()) {
        return PlainLineCopier(rewriter, writer).Copy(lines, all_cr_lf);
    }
    bool written = true;
    const char* const end = lines.data() + lines.size();
    for (const char* at = lines.data(); at < end && written;) {
        const char* line_end = FindByte(at, end, '\n');
        auto length = static_cast<std::size_t>(line_end - at);
        if (length > 0 && at[length - 1] == '\r') {
            --length;
        }
        const std::size_t ready = rewriter.Feed(std::string_view(at, length));
        if (rewriter.Failed()) {
            return false;
        }
        for (std::size_t i = 0; i < ready; ++i) {
            written = writer.WriteLine(rewriter.Line(i)) && written;
        }
        at = line_end + 1;
    }
    return written;
}

// Whether the line that starts at `at` (in whole lines, where a CR comes only before an LF) is empty.
bool EmptyLineAt(std::string_view lines, std::size_t at) {
    return at < lines.size() &&
           (lines[at] == '\n' || (lines[at] == '\r' && at + 1 < lines.size() && lines[at + 1] == '\n'));
}

// Where the line after the first empty line that starts after `from` starts; npos when there is none.
std::size_t AfterFirstEmptyLine(std::string_view lines, std::size_t from) {
    for (std::size_t at = lines.find('\n', from); at != std::string_view::npos; at = lines.find('\n', at + 1)) {
        if (EmptyLineAt(lines, at + 1)) {
            return lines.find('\n', at + 1) + 1;
        }
    }
    return std::string_view::npos;
}

// Where the line after the last empty line that starts after `from` starts; npos when there is none.
std::size_t AfterLastEmptyLine(std::string_view lines, std::size_t from) {
    if (lines.size() < 2) {
        return std::string_view::npos;
    }
    for (std::size_t at = lines.rfind('\n', lines.size() - 2); at != std::string_view::npos && at >= from;
         at = at == 0 ? std::string_view::npos : lines.rfind('\n', at - 1)) {
        if (EmptyLineAt(lines, at + 1)) {
            return lines.find('\n', at + 1) + 1;
        }
    }
    return std::string_view::npos;
}

}  // namespace

bool FindPartCut(std::string_view lines, std::size_t from, std::size_t* second, std::size_t* rest) {
    *second = AfterFirstEmptyLine(lines, from);
    *rest = *second == std::string_view::npos ? *second : AfterLastEmptyLine(lines, *second);
    return *rest != std::string_view::npos && *rest > *second;
}

namespace {

// Whether `lines` (whole lines from a line start) hold a MicroDVD frame line.
bool HoldsFrameLine(std::string_view lines) {
    const char* const begin = lines.data();
    const char* const end = begin + lines.size();
    for (const char* at = FindByte(begin, end, '{'); at != nullptr; at = FindByte(at + 1, end, '{')) {
        if (at == begin || at[-1] == '\n') {
            const char* line_end = FindByte(at, end, '\n');
            line_end -= line_end > at && line_end[-1] == '\r' ? 1 : 0;
            if (IsFrameLine(std::string_view(at, static_cast<std::size_t>(line_end - at)))) {
                return true;
            }
        }
    }
    return false;
}

// What the second part's writer writes to: memory, which the first thread writes to the run's writer after the first
// part. The second thread never calls the run's files, whose makers may expect one thread.
class MemoryFile : public WritableFile {
  public:
    Status Append(const char* data, std::size_t size) override {
        bytes.append(data, size);
        return Status::OK();
    }
    Status Sync() override { return Status::OK(); }
    Status Close() override { return Status::OK(); }
    std::string bytes;  // only grows, so that it stops allocating after the first blocks
};

}  // namespace

// The second part of a block, rewritten on the worker thread.
class BlockRewriter::SecondPart : public WorkerThread::Job {
  public:
    explicit SecondPart(const LineRewriter& first) : m_rewriter(first), m_writer(m_output) {}

    // Makes ready the part after `first`'s, to be run.
    void Prepare(const LineRewriter& first, std::string_view lines, bool all_cr_lf) {
        m_rewriter.StartPartAfterEmptyLine(first);
        m_lines = lines;
        m_all_cr_lf = all_cr_lf;
        m_output.bytes.clear();
        m_writer.Drop();
    }
    // Once the part was run: writes what it wrote to `writer`; false when writing failed or its rewriter failed.
    bool WriteTo(TextLineWriter& writer) {
        return m_written && writer.WriteRaw(m_output.bytes) && writer.WriteRaw(m_writer.Buffered());
    }

    const LineRewriter& Rewriter() const { return m_rewriter; }

    void Run() override { m_written = RewritePart(m_rewriter, m_writer, m_lines, m_all_cr_lf); }

  private:
    LineRewriter m_rewriter;
    // The part's output: what fills the writer's block goes on to m_output, the rest stays in the block (the usual
    // case, as a part is less than a block), and is written from there.
    MemoryFile m_output;
    TextLineWriter m_writer;
    std::string_view m_lines;
    bool m_all_cr_lf = false;
    bool m_written = true;
};

BlockRewriter::BlockRewriter(TextLineReader& reader, LineRewriter& rewriter, TextLineWriter& writer)
    : m_reader(reader),
      m_rewriter(rewriter),
      m_writer(writer),
      m_two_processors(WorkerThread::HasSecondProcessor()),
      m_thread(std::make_unique<WorkerThread>()) {
    m_reader.SetBlockUser(this);
}

BlockRewriter::~BlockRewriter() {
    m_reader.SetBlockUser(nullptr);
    if (m_running != nullptr) {
        // Only on the way out of a failure: nothing more is written. The part goes on to its end.
        try {
            m_thread->Wait();
        } catch (...) {
        }
    }
}

bool BlockRewriter::Rewrite(std::string_view lines, bool all_cr_lf) {
    std::size_t second = 0;
    std::size_t rest = 0;
    if (!m_two_processors || lines.size() < kSmallestSplitBlock || !m_rewriter.CanRewriteInParts() ||
        !FindPartCut(lines, lines.size() * m_first_part_percent / 100, &second, &rest) ||
        HoldsFrameLine(lines.substr(second, rest - second))) {
        return Settle() && RewritePart(m_rewriter, m_writer, lines, all_cr_lf);
    }
    // The thread goes on to this block's second part as soon as it is done with the last one, before that part is
    // written and the last block finished here.
    WaitForSecond();
    // The part that is not the one still to be written.
    std::unique_ptr<SecondPart>& part = m_parts[m_parts[0] && m_parts[0].get() == m_done ? 1 : 0];
    if (!part) {
        part = std::make_unique<SecondPart>(m_rewriter);
    }
    part->Prepare(m_rewriter, lines.substr(second, rest - second), all_cr_lf);
    if (!m_thread->Start(*part)) {
        return Settle() && RewritePart(m_rewriter, m_writer, lines, all_cr_lf);
    }
    m_running = part.get();
    if (!WriteDonePart()) {
        return false;
    }
    m_last_lines = lines.substr(rest);
    m_last_all_cr_lf = all_cr_lf;
    m_written = RewritePart(m_rewriter, m_writer, lines.substr(0, second), all_cr_lf);
    if (m_thread->TakeBack()) {
        MoveCut(true);
        m_running = nullptr;
        m_written = m_written && RewritePart(m_rewriter, m_writer, lines.substr(second), all_cr_lf);
    }
    return m_written;
}

bool BlockRewriter::Settle() {
    WaitForSecond();
    return WriteDonePart();
}

void BlockRewriter::WaitForSecond() {
    if (m_running != nullptr) {
        MoveCut(!m_thread->Done());
        m_done = std::exchange(m_running, nullptr);
        m_thread->Wait();
    }
}

bool BlockRewriter::WriteDonePart() {
    if (m_done != nullptr) {
        const SecondPart* part = m_done;
        m_written = m_written && m_done->WriteTo(m_writer);
        m_done = nullptr;
        m_rewriter.ContinueAfterPart(part->Rewriter());
        m_written = m_written && RewritePart(m_rewriter, m_writer, m_last_lines, m_last_all_cr_lf);
    }
    return m_written;
}

void BlockRewriter::MoveCut(bool second_was_slower) {
    if (second_was_slower) {
        m_first_part_percent = std::min(m_first_part_percent + kFirstPartPercentStep, kLargestFirstPartPercent);
    } else {
        m_first_part_percent = std::max(m_first_part_percent - kFirstPartPercentStep, kSmallestFirstPartPercent);
    }
}

void BlockRewriter::BeforeOverwrite(const char* begin, const char* end) {
    if (m_running != nullptr && m_last_lines.data() >= begin && m_last_lines.data() <= end) {
        Settle();
    }
}
