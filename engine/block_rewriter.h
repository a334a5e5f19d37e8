#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "engine/rewrite_line.h"
#include "platform/text_mode.h"

class WorkerThread;

// Rewrites the whole lines of the blocks a reader hands out, with one rewriter, into one writer, line by line as the
// rewriter would: lines that it would keep as they are go to the writer in runs, the others are fed to it.
//
// A big block is cut in two right after an empty line, when the run allows it (see
// LineRewriter::CanRewriteInParts) and the machine has a second processor: a second thread rewrites the second part
// with a second rewriter while this one rewrites the first and the reader reads the next block; the thread goes on to
// the next block's second part before this one writes the last, and the results are written in order. The lines after
// the block's last empty line wait for the first rewriter, which then goes on in the state the second left. The output
// and the counts are the same as one rewriter's.
//
// A block's second part and its last lines are done by the next Rewrite, by Settle, or when the reader is about to
// read over them; the caller must Settle before it feeds the rewriter a line of its own, and before it finishes.
class BlockRewriter : private TextLineReader::BlockUser {
  public:
    BlockRewriter(TextLineReader& reader, LineRewriter& rewriter, TextLineWriter& writer);
    ~BlockRewriter();
    BlockRewriter(const BlockRewriter&) = delete;
    BlockRewriter& operator=(const BlockRewriter&) = delete;

    // `lines`: whole lines, each with its LF or CR LF (with CR LF only when `all_cr_lf`). False when writing failed,
    // or when the rewriter failed on a line (LineRewriter::Failed), which is then not written, nor anything after it.
    bool Rewrite(std::string_view lines, bool all_cr_lf);
    // Finishes the block cut last, if it is not finished yet; false when writing failed or the rewriter failed.
    bool Settle();

    // Blocks smaller than this are rewritten in one part: the hand-over would cost more than it saves.
    static constexpr std::size_t kSmallestSplitBlock = 64 * 1024;
    // Where the first cut falls, in percent of the block: the first part is done while the next block is read, so it
    // is the smaller. How fast each thread gets on depends on the machine and the minute, so from then on each block
    // moves the cut by a step towards the thread that waited for the other, within the bounds.
    static constexpr std::size_t kFirstPartPercent = 40;
    static constexpr std::size_t kFirstPartPercentStep = 2;
    static constexpr std::size_t kSmallestFirstPartPercent = 10;
    static constexpr std::size_t kLargestFirstPartPercent = 90;

  private:
    class SecondPart;

    void BeforeOverwrite(const char* begin, const char* end) override;
    // Waits for the second part running, if one is: it is then done, and still to be written.
    void WaitForSecond();
    // Writes the second part that is done, and the last lines of its block; false once writing or a rewriter failed.
    bool WriteDonePart();
    // Moves the next cut: to a larger first part when the second thread was the slower, else to a smaller one.
    void MoveCut(bool second_was_slower);

    TextLineReader& m_reader;
    LineRewriter& m_rewriter;
    TextLineWriter& m_writer;
    const bool m_two_processors;  // with one, a second thread would only take turns with the first
    // Two, made as blocks are cut: one can be written here while the thread rewrites the other.
    std::unique_ptr<SecondPart> m_parts[2];
    SecondPart* m_running = nullptr;  // handed to the thread and not waited for yet
    SecondPart* m_done = nullptr;     // waited for and not written yet
    std::string_view m_last_lines;    // of the block cut last, after its last empty line: to do after the second part
    bool m_last_all_cr_lf = false;
    bool m_written = true;  // false once writing or the rewriter failed in Settle
    std::size_t m_first_part_percent = kFirstPartPercent;
    std::unique_ptr<WorkerThread> m_thread;  // last: it stops before the parts go
};

// Where BlockRewriter cuts `lines` (whole lines, where a CR comes only before an LF): `*second`, the start of the line
// after the first empty line that starts after `from`, and `*rest`, the start of the line after the last empty line.
// False when there are no two such places with lines between them.
bool FindPartCut(std::string_view lines, std::size_t from, std::size_t* second, std::size_t* rest);
