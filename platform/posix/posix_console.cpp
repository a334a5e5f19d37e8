#include <cerrno>
#include <csignal>
#include <cstdio>

#include "platform/console.h"
#include "platform/posix/posix_error.h"

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

Status ExpandWildcards(std::vector<std::string>*) {
    return Status::OK();
}

void KeepRunningWhenOutputCloses() {
    std::signal(SIGPIPE, SIG_IGN);
}

Status WriteText(ConsoleStream stream, std::string_view text) {
    std::FILE* file = stream == ConsoleStream::kOutput ? stdout : stderr;
    if (std::fwrite(text.data(), 1, text.size(), file) != text.size() || std::fflush(file) != 0) {
        return PosixError("Cannot write", stream == ConsoleStream::kOutput ? "standard output" : "standard error",
                          errno);
    }
    return Status::OK();
}
