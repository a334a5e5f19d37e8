#include "ui/drift_preview.h"

#include "engine/cue_starts.h"
#include "engine/synchronize_file.h"
#include "platform/file_system.h"
#include "ui/cue_time_field.h"
#include "ui/subtitle_file.h"

const char kNoReferenceMessage[] = "Choose a subtitle that is in sync with the video";

namespace {

// Keeps what a dry run reports instead of showing it.
class PreviewReporter : public RunReporter {
  public:
    void Done(const RunReport& report) override {
        done = true;
        spans = report.spans;
    }
    void Succeeded(const std::string& /*text*/) override { done = true; }
    void Refused(const std::string& text) override { problem = text; }
    void FileFailed(const std::string& text) override { problem = text; }

    bool done = false;
    CueSpans spans;
    std::string problem;
};

// "->" rather than an arrow character: the dialog's font, MS Sans Serif, has none, and Wine shows a box for it.
std::string BeforeAfter(const char* cue, const CueSpan& before, const CueSpan& after) {
    return cue + CueTimeText(before.start) + " -> " + CueTimeText(after.start);
}

}  // namespace

std::string DriftPreview(const SyncSettings& settings, CueSpans* spans) {
    PreviewReporter reporter;
    RunTarget preview;
    preview.kind = RunTarget::Kind::kPreview;
    SynchronizeFile(settings, reporter, FileSystem::Default(), preview);
    if (spans != nullptr) {
        *spans = reporter.spans;
    }
    if (!reporter.done) {
        return reporter.problem;
    }
    const std::string transform = settings.Transform().Describe();
    const CueSpans& found = reporter.spans;
    if (!found.found) {
        return transform + "; the file has no cue times";
    }
    return transform + "; " + BeforeAfter("first cue ", found.first_before, found.first_after) + ", " +
           BeforeAfter("last ", found.last_before, found.last_after);
}

bool MatchPreview(const SyncSettings& settings, const std::string& reference, std::string* text) {
    if (reference.empty()) {
        *text = kNoReferenceMessage;
        return false;
    }
    CueMatch match;
    const Status status = MatchFiles(FileSystem::Default(), settings.m_strInputFile, reference, settings.m_fps, &match);
    if (!status.ok()) {
        *text = status.message();
        return false;
    }
    if (!match.Found()) {
        *text = match.Refusal(FileName(settings.m_strInputFile), FileName(reference));
        return false;
    }
    *text = match.DescribeCorrection() + "; " + match.DescribeConfidence();
    return true;
}
