#include "platform/file_system.h"

Status HeldFile::Identify(FileIdentity*) {
    return Status::Error(Status::Code::kUnsupported, "Cannot identify a file that is not on a disk");
}

Status HeldFile::RenameTo(const std::string& to, bool) {
    return Status::Error(Status::Code::kUnsupported, "Cannot rename a file that is not on a disk to " + to);
}

void WritableFile::CopyAccess(const FileAccess&) {}
