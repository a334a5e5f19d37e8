#pragma once

#include <cstdint>
#include <string>

#include "engine/rewrite_line.h"

// What a run did, for front ends that show more than Succeeded's text (the command line's summary and preview).
struct RunReport {
    // Where the result and the original are ("Done - original file is stored as\nNAME_original.EXT", and where an
    // older backup went); empty for a stream.
    std::string headline;
    // What the user must know about the result, a line each, each line starting with '\n'; may be empty.
    std::string notes;
    std::int32_t offset_ms = 0;
    TimeTransform transform;  // the whole correction: offset_ms, or a change of speed too
    bool window = false;
    std::uint64_t moved_times = 0;           // cue times the run moved
    std::uint64_t times_outside_window = 0;  // cue times the window left as they were
    CueSpans spans;
    // For a correction found by matching to a reference: the whole correction, with its cuts ("speed 104.271 % (25
    // to 23.976 fps), offset -20.000 s, from 01:19:28,544 offset -10.003 s"), and how well it matches ("Matched to
    // REF: 812 of 1,000 cues (81 %) start within 0.4 s of a reference cue ..."). Empty otherwise.
    std::string correction;
    std::string match;

    // The headline, what matching found, and the notes, a line each.
    std::string Text() const {
        const std::string found = match.empty() ? std::string() : "\n" + match + "\nCorrection: " + correction;
        const std::string text = headline + found + notes;
        return headline.empty() && !text.empty() ? text.substr(1) : text;
    }
};

// How a run tells its outcome; each front end supplies one (the dialog shows message boxes, the command line prints).
// Exactly one of Done (or Succeeded), Refused and FileFailed is called per run.
class RunReporter {
  public:
    virtual ~RunReporter() = default;
    // The run is done; `text` says where the original is kept, then, a line each, what the user must know about
    // the result (times set to zero, lines left as they were, no times found).
    virtual void Succeeded(const std::string& text) = 0;
    // The run is done, with what it did; by default only its text goes to Succeeded.
    virtual void Done(const RunReport& report) { Succeeded(report.Text()); }
    // The run was refused before any file was touched: the window does not increase, or the file's name or
    // encoding is not one the program handles.
    virtual void Refused(const std::string& text) = 0;
    // A file operation failed; `text` names the file and the reason, and where every content now is.
    virtual void FileFailed(const std::string& text) = 0;
};

enum class RunOutcome { kDone, kRefused, kFileFailed };

// The report of a run that `rewriter` did with `settings`, with `headline` (see RewriteNotes for the notes).
RunReport MakeReport(const SyncSettings& settings, const LineRewriter& rewriter, const std::string& headline);
