#include "store/last_file_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/current_directory.h"
#include "platform/text_mode.h"

namespace {

constexpr std::size_t kCapacity = 256;

std::string StoreFileName(const std::string& directory) {
    return directory + PathSeparator() + "kv.ini";
}

}  // namespace

std::string LoadLastFile(const std::string& directory) {
    // Update mode, though only reading follows: a file the user may not write is not trusted as the store.
    std::FILE* file = std::fopen(StoreFileName(directory).c_str(), "r+b");
    if (file == nullptr) {
        return std::string();
    }
    // Every CR LF pair shrinks to one byte, so twice the capacity (and one byte to see a pair at the edge) suffices.
    char raw[2 * kCapacity + 1];
    const std::size_t got = std::fread(raw, 1, sizeof raw, file);
    std::fclose(file);
    std::string text = DecodeText(std::string_view(raw, got));
    text.resize(std::min(text.size(), kCapacity));
    text.resize(std::strlen(text.c_str()));  // up to the first NUL
    return text;
}

void SaveLastFile(const std::string& directory, const std::string& path) {
    std::FILE* file = std::fopen(StoreFileName(directory).c_str(), "wb");
    if (file == nullptr) {
        return;
    }
    const std::string raw = EncodeText(path);
    std::fwrite(raw.data(), 1, raw.size(), file);
    std::fclose(file);
}
