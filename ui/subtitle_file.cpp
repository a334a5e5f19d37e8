#include "ui/subtitle_file.h"

std::string FileExtension(const std::string& path) {
    // In UTF-8 no byte of a multi-byte character is a separator or a dot, so a plain byte search is exact.
    const std::size_t slash = path.find_last_of("\\/:");
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    return dot == std::string::npos || dot < name ? std::string() : path.substr(dot + 1);
}
