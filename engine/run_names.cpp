#include "engine/run_names.h"

namespace {

constexpr std::size_t kExtensionLength = 4;  // a dot and three characters

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string InsertBeforeExtension(const std::string& path, const std::string& tag) {
    std::string name = path;
    name.insert(path.size() < kExtensionLength ? path.size() : path.size() - kExtensionLength, tag);
    return name;
}

// Whether `path` is `owner` with "_original-N" (N from 1, without leading zeros) before its extension.
bool IsKeptNameOf(const std::string& path, const std::string& owner) {
    const std::size_t extension = owner.size() < kExtensionLength ? 0 : kExtensionLength;
    const std::string prefix = owner.substr(0, owner.size() - extension) + "_original-";
    if (path.size() <= prefix.size() + extension || path.compare(0, prefix.size(), prefix) != 0 ||
        path.compare(path.size() - extension, extension, owner, owner.size() - extension, extension) != 0) {
        return false;
    }
    const std::string_view number(path.data() + prefix.size(), path.size() - prefix.size() - extension);
    return number[0] != '0' && number.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

std::string TemporaryName(const std::string& path) {
    return InsertBeforeExtension(path, "_new");
}

std::string OriginalName(const std::string& path) {
    return InsertBeforeExtension(path, "_original");
}

std::string KeptName(const std::string& path, int number) {
    return InsertBeforeExtension(path, "_original-" + std::to_string(number));
}

bool IsSubtitleExtension(std::string_view extension) {
    if (extension.size() != kExtensionLength - 1) {
        return false;
    }
    const char folded[] = {Lower(extension[0]), Lower(extension[1]), Lower(extension[2])};
    const std::string_view name(folded, sizeof folded);
    return name == "srt" || name == "sub" || name == "vtt";
}

bool HasSubtitleExtension(const std::string& path) {
    return path.size() >= kExtensionLength && path[path.size() - kExtensionLength] == '.' &&
           IsSubtitleExtension(std::string_view(path).substr(path.size() - kExtensionLength + 1));
}

bool IsWebVttName(const std::string& path) {
    return path.size() >= 3 && Lower(path[path.size() - 3]) == 'v' && Lower(path[path.size() - 2]) == 't' &&
           Lower(path[path.size() - 1]) == 't';
}

std::string BackupOwner(const std::string& path, const std::vector<std::string>& files) {
    for (const std::string& other : files) {
        if (other != path &&
            (path == OriginalName(other) || path == TemporaryName(other) || IsKeptNameOf(path, other))) {
            return other;
        }
    }
    return std::string();
}
