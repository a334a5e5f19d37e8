#pragma once

#include <string>

// The outcome of one operation on a file: OK, or a kind of failure with a message that names the file and the
// reason, worded alike on every operating system ("Cannot open /x/film.srt: No such file or directory"). A Status
// must be looked at: the compiler rejects one that is dropped, unless IgnoreError() says it is dropped on purpose.
class [[nodiscard]] Status {
  public:
    // kExists: a name that must be new is taken. kNotRegularFile: a directory, device, pipe, socket or symbolic link
    // where a file was expected. kUnsupported: a file whose name or content the program does not handle. kChanged:
    // another program changed a file, or put another file in its place, while this one held it.
    enum class Code {
        kOk,
        kNotFound,
        kExists,
        kInUse,
        kNoSpace,
        kQuotaExceeded,
        kNameTooLong,
        kNotRegularFile,
        kUnsupported,
        kChanged,
        kIoError
    };

    Status() = default;
    static Status OK() { return Status(); }
    static Status Error(Code code, std::string message) { return Status(code, std::move(message)); }

    bool ok() const { return m_code == Code::kOk; }
    Code code() const { return m_code; }
    const std::string& message() const { return m_message; }
    // Drops this outcome on purpose, where a failure would change nothing: releasing a file while an earlier failure
    // is already being reported, or in a destructor that has no one to tell. The call site says why.
    void IgnoreError() const {}

  private:
    Status(Code code, std::string message) : m_code(code), m_message(std::move(message)) {}

    Code m_code = Code::kOk;
    std::string m_message;
};

// "VERB PATH: REASON", the one shape of every file error the user sees.
Status FileError(Status::Code code, const char* verb, const std::string& path, const std::string& reason);

// The reason given for a folder where a file was expected, by both backends and the run.
extern const char kFolderReason[];

// The reason text shared by both backends for the kinds they recognise; empty for kIoError, where the backend
// supplies the operating system's own wording.
const char* ReasonFor(Status::Code code);
