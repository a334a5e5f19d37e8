#include "store/last_file_store.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/current_directory.h"
#include "platform/text_mode.h"

namespace {

constexpr std::size_t kCapacity = 256;

std::string StorePath(const std::string& directory, const char* name) {
    return directory + PathSeparator() + name;
}

}  // namespace

std::string LoadLastFile(const std::string& directory, FileSystem& file_system) {
    std::unique_ptr<ReadableFile> file;
    if (!file_system.OpenForReading(StorePath(directory, "kv.ini"), &file).ok()) {
        return std::string();
    }
    // Every CR LF pair shrinks to one byte, so twice the capacity (and one byte to see a pair at the edge) suffices.
    char raw[2 * kCapacity + 1];
    std::size_t size = 0;
    std::size_t got = 0;
    bool read = true;
    while (size < sizeof raw && (read = file->Read(raw + size, sizeof raw - size, &got).ok()) && got > 0) {
        size += got;
    }
    if (!file->Close().ok() || !read) {
        return std::string();
    }
    std::string text = DecodeText(std::string_view(raw, size));
    text.resize(std::min(text.size(), kCapacity));
    text.resize(std::strlen(text.c_str()));  // up to the first NUL
    return text;
}

void SaveLastFile(const std::string& directory, const std::string& path, FileSystem& file_system) {
    // CreateNew refuses an existing name, so the content goes to a fresh file that then replaces the store whole.
    const std::string store = StorePath(directory, "kv.ini");
    const std::string fresh = StorePath(directory, "kv.ini.new");
    // One left by a save that was cut short is taken away first.
    if (file_system.Exists(fresh) && !file_system.Remove(fresh).ok()) {
        return;
    }
    std::unique_ptr<WritableFile> file;
    if (!file_system.CreateNew(fresh, &file).ok()) {
        return;
    }
    const std::string raw = EncodeText(path);
    const bool replaced =
        file->Append(raw.data(), raw.size()).ok() && file->Sync().ok() && file->RenameTo(store, /*replace=*/true).ok();
    [[maybe_unused]] const Status closed = file->Close();
    if (!replaced) {
        [[maybe_unused]] const Status removed = file_system.Remove(fresh);
    }
}
