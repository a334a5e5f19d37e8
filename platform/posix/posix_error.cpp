#include "platform/posix/posix_error.h"

#include <cerrno>
#include <cstring>

Status PosixError(const char* verb, const std::string& path, int error) {
    Status::Code code = Status::Code::kIoError;
    switch (error) {
        case ENOENT:
            code = Status::Code::kNotFound;
            break;
        case EEXIST:
            code = Status::Code::kExists;
            break;
        case EWOULDBLOCK:
            code = Status::Code::kInUse;
            break;
        case ENOSPC:
            code = Status::Code::kNoSpace;
            break;
        case EDQUOT:
            code = Status::Code::kQuotaExceeded;
            break;
        case ENAMETOOLONG:
            code = Status::Code::kNameTooLong;
            break;
        default:
            break;
    }
    const char* reason = ReasonFor(code);
    return FileError(code, verb, path, *reason != '\0' ? std::string(reason) : std::string(std::strerror(error)));
}
