#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/current_directory.h"

std::string CurrentDirectory() {
    std::vector<char> buffer(256);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()) != nullptr) {
            return std::string(buffer.data());
        }
        if (errno != ERANGE) {
            return std::string();
        }
        buffer.resize(buffer.size() * 2);
    }
}

char PathSeparator() {
    return '/';
}
