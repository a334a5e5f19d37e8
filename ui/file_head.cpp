#include "ui/file_head.h"

#include <memory>

Status ReadFileHead(FileSystem& file_system, const std::string& path, std::size_t limit, std::string* head) {
    head->clear();
    std::unique_ptr<ReadableFile> file;
    Status status = file_system.OpenForReading(path, &file);
    if (!status.ok()) {
        return status;
    }
    head->resize(limit);
    std::size_t size = 0;
    while (size < limit) {
        std::size_t got = 0;
        status = file->Read(&(*head)[size], limit - size, &got);
        if (!status.ok() || got == 0) {
            break;
        }
        size += got;
    }
    const Status closed = file->Close();
    if (status.ok()) {
        status = closed;
    } else {
        closed.IgnoreError();  // the read error is the one the user needs to see
    }
    head->resize(status.ok() ? size : 0);
    return status;
}
