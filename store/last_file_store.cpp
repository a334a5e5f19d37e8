#include "store/last_file_store.h"

#include <cstring>
#include <memory>

#include "engine/utf8.h"
#include "platform/code_page.h"
#include "platform/current_directory.h"
#include "platform/text_mode.h"

namespace {

std::string StorePath(const std::string& directory, const char* name) {
    return directory + PathSeparator() + name;
}

}  // namespace

std::string LoadLastFile(const std::string& directory, FileSystem& file_system) {
    std::unique_ptr<ReadableFile> file;
    if (!file_system.OpenForReading(StorePath(directory, "kv.ini"), &file).ok()) {
        return std::string();
    }
    std::string raw;
    char chunk[4096];
    std::size_t got = 0;
    bool read = true;
    while ((read = file->Read(chunk, sizeof chunk, &got).ok()) && got > 0) {
        raw.append(chunk, got);
    }
    if (!file->Close().ok() || !read) {
        return std::string();
    }
    std::string text = DecodeText(raw);
    text.resize(std::strlen(text.c_str()));  // up to the first NUL
    // An editor may have ended the file with a line end; no path ends in one.
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    // Versions before UTF-8 wrote the path in the ANSI code page.
    if (!IsValidUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size())) {
        text = AnsiToUtf8(text);
    }
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
