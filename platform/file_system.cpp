#include "platform/file_system.h"

Status ReadableFile::Rewind() {
    return Status::Error(Status::Code::kUnsupported, "Cannot read a stream twice");
}

Status HeldFile::Identify(FileIdentity*) {
    return Status::Error(Status::Code::kUnsupported, "Cannot identify a file that is not on a disk");
}

Status HeldFile::RenameTo(const std::string& to, bool) {
    return Status::Error(Status::Code::kUnsupported, "Cannot rename a file that is not on a disk to " + to);
}

void WritableFile::CopyAccess(const FileAccess&) {}

Status CheckNameLeadsTo(FileSystem& file_system, const std::string& name, HeldFile& file) {
    FileIdentity held;
    FileIdentity named;
    Status status = file.Identify(&held);
    if (status.ok()) {
        status = file_system.Identify(name, &named);
    }
    if (status.code() == Status::Code::kNotFound || (status.ok() && !named.SameFileAs(held))) {
        return FileError(Status::Code::kChanged, "Cannot use", name, ReasonFor(Status::Code::kChanged));
    }
    return status;
}
