#include "platform/status.h"

Status FileError(Status::Code code, const char* verb, const std::string& path, const std::string& reason) {
    std::string message;
    message.reserve(path.size() + reason.size() + 32);
    message.append(verb).append(" ").append(path).append(": ").append(reason);
    return Status::Error(code, std::move(message));
}

const char kFolderReason[] = "it is a folder";

const char* ReasonFor(Status::Code code) {
    switch (code) {
        case Status::Code::kNotFound:
            return "No such file or directory";
        case Status::Code::kExists:
            return "a file of that name already exists";
        case Status::Code::kInUse:
            return "it is being used by another program";
        case Status::Code::kNoSpace:
            return "No space left on device";
        case Status::Code::kQuotaExceeded:
            return "Disk quota exceeded";
        case Status::Code::kChanged:
            return "it was changed by another program meanwhile";
        case Status::Code::kNameTooLong:
            return "the name is too long for this system";
        case Status::Code::kNotRegularFile:
            return "it is not a regular file";
        case Status::Code::kUnsupported:
        case Status::Code::kOk:
        case Status::Code::kIoError:
            break;
    }
    return "";
}
