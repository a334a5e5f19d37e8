#include "ui/subtitle_file.h"

#include <mbstring.h>

std::string FileExtension(const std::string& path) {
    const auto* text = reinterpret_cast<const unsigned char*>(path.c_str());
    const unsigned char* name = text;
    for (const unsigned char* p = text; *p != '\0'; p = _mbsinc(p)) {
        if (*p == '\\' || *p == '/' || *p == ':') {
            name = p + 1;
        }
    }
    const unsigned char* dot = _mbsrchr(name, '.');
    return dot == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(dot + 1));
}
