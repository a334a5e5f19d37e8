#include <cstdio>

#include "platform/console.h"

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool WriteText(ConsoleStream stream, std::string_view text) {
    std::FILE* file = stream == ConsoleStream::kOutput ? stdout : stderr;
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}
