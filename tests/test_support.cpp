#include "tests/test_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// Paths are UTF-8 in the program and its tests. On Windows the streams and std::filesystem reach a path of MAX_PATH
// characters or more only with the "\\?\" prefix, which takes a clean absolute path with backslashes.
fs::path SystemPath(const std::string& path) {
    fs::path system = fs::u8path(path);
#ifdef _WIN32
    if (system.is_absolute() && path.rfind("\\\\", 0) != 0) {
        system = fs::path(L"\\\\?\\" + system.make_preferred().lexically_normal().wstring());
    }
#endif
    return system;
}

std::size_t CharacterCount(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return count;
}

// The first `count` characters of `word` repeated.
std::string Repeated(const std::string& word, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; CharacterCount(text) < count; i = (i + 1) % word.size()) {
        text += word[i];
        while (i + 1 < word.size() && (static_cast<unsigned char>(word[i + 1]) & 0xC0) == 0x80) {
            text += word[++i];
        }
    }
    return text;
}

}  // namespace

TempDir::TempDir() {
    std::random_device random;
    const fs::path base = fs::temp_directory_path();
    for (;;) {
        const fs::path candidate = base / ("kelvaro-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            m_path = candidate.u8string();
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(SystemPath(m_path), ignored);
}

std::string TempDir::File(const std::string& name) const {
    return (fs::u8path(m_path) / fs::u8path(name)).u8string();
}

std::vector<std::string> TempDir::List() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(SystemPath(m_path))) {
        names.push_back(entry.path().filename().u8string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(SystemPath(path), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteWholeFile(const std::string& path, const std::string& content) {
    std::ofstream out(SystemPath(path), std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    ASSERT_TRUE(out.good()) << path;
}

bool FileExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(SystemPath(path), ignored);
}

std::string PathOfLength(const TempDir& dir, const std::string& word, const std::string& name, std::size_t length) {
    std::string folder = dir.path();
    const std::size_t fixed = CharacterCount(folder) + 1 + CharacterCount(name);
    EXPECT_GE(length, fixed) << name;
    std::size_t rest = length > fixed ? length - fixed : 0;
    // Folders of at most 200 characters; the last 50 or so go in front of the name, which leaves room for the
    // longer names a run gives the file beside it.
    while (rest > 60) {
        const std::size_t folder_length = std::min<std::size_t>(200, rest - 51);
        folder += '\\' + Repeated(word, folder_length);
        rest -= folder_length + 1;
    }
    std::error_code error;
    fs::create_directories(SystemPath(folder), error);
    EXPECT_FALSE(error) << error.message();
    const std::string path = folder + '\\' + Repeated(word, rest) + name;
    EXPECT_EQ(CharacterCount(path), length);
    return path;
}
