#include "engine/cue_starts.h"

#include "engine/rewrite_stream.h"
#include "engine/run_names.h"

Status ReadCueStarts(ReadableFile& input, const std::string& name, const FrameRate& fps, std::vector<CueTime>* starts) {
    SyncSettings reading;
    reading.m_fps = fps;
    LineRewriter cues(reading, IsWebVttName(name) ? SubtitleFormat::kWebVtt : SubtitleFormat::kSubRip);
    starts->clear();
    cues.CollectStarts(starts);
    DiscardingFile nowhere;
    const Status status = RewriteStream(input, name, nowhere, cues);
    if (status.ok() && starts->empty() && cues.FrameLinesWithoutRate() > 0) {
        return Status::Error(Status::Code::kUnsupported,
                             "Cannot match " + name + ": its MicroDVD frames need the video's frame rate (--fps RATE)");
    }
    return status;
}

namespace {

Status ReadStartsOfFile(FileSystem& file_system,
                        const std::string& path,
                        const FrameRate& fps,
                        std::vector<CueTime>* starts) {
    std::unique_ptr<ReadableFile> file;
    Status status = file_system.OpenForReading(path, &file);
    if (status.ok()) {
        status = ReadCueStarts(*file, path, fps, starts);
        const Status closed = file->Close();
        status = status.ok() ? closed : status;
    }
    return status;
}

}  // namespace

Status ReadReferenceStarts(FileSystem& file_system,
                           const std::string& reference,
                           const FrameRate& fps,
                           std::vector<CueTime>* starts) {
    if (IsDirectory(reference)) {
        return FileError(Status::Code::kNotRegularFile, "Cannot open", reference, kFolderReason);
    }
    if (!HasSubtitleExtension(reference)) {
        return Status::Error(Status::Code::kUnsupported,
                             "Cannot match to " + reference + ": its name does not end in .srt, .sub or .vtt");
    }
    return ReadStartsOfFile(file_system, reference, fps, starts);
}

Status MatchFiles(FileSystem& file_system,
                  const std::string& file,
                  const std::string& reference,
                  const FrameRate& fps,
                  CueMatch* match) {
    FileIdentity own_identity;
    FileIdentity their_identity;
    if (file_system.Identify(file, &own_identity).ok() && file_system.Identify(reference, &their_identity).ok() &&
        own_identity.SameFileAs(their_identity)) {
        return Status::Error(Status::Code::kUnsupported,
                             "Cannot match " + file + " to " + reference + ": they are the same file");
    }
    std::vector<CueTime> theirs;
    Status status = ReadReferenceStarts(file_system, reference, fps, &theirs);
    if (!status.ok()) {
        return status;
    }
    std::vector<CueTime> own;
    status = ReadStartsOfFile(file_system, file, fps, &own);
    if (status.ok()) {
        *match = MatchCueTimes(std::move(theirs), std::move(own));
    }
    return status;
}
