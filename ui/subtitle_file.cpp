#include "ui/subtitle_file.h"

#include <vector>

#include "engine/run_names.h"
#include "engine/synchronize_file.h"
#include "platform/file_system.h"
#include "platform/win32/utf16.h"
#include "win32ui/file_dialog.h"
#include "win32ui/message_box.h"

namespace {

const char kSubtitleFilter[] =
    "Subtitles files (*.sub;*.srt;*.vtt)|*.sub;*.srt;*.vtt|sub Files (*.sub)|*.sub|srt Files (*.srt)|*.srt|"
    "vtt Files (*.vtt)|*.vtt|All Files (*.*)|*.*||";

// `path` when its extension names a subtitle format; otherwise says so and gives nothing.
std::string SubtitleOrNothing(const std::string& path, const std::string& extension) {
    if (!IsSubtitleExtension(extension)) {
        AfxMessageBox(kUnrecognizedFormatMessage);
        return std::string();
    }
    return path;
}

}  // namespace

std::string FileExtension(const std::string& path) {
    // In UTF-8 no byte of a multi-byte character is a separator or a dot, so a plain byte search is exact.
    const std::size_t slash = path.find_last_of("\\/:");
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    return dot == std::string::npos || dot < name ? std::string() : path.substr(dot + 1);
}

std::string FileName(const std::string& path) {
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string BrowseForSubtitle(CWnd* parent) {
    CFileDialog dialog("sub", OFN_FILEMUSTEXIST, kSubtitleFilter, parent);
    if (dialog.DoModal() != IDOK) {
        return std::string();
    }
    return SubtitleOrNothing(dialog.GetPathName(), dialog.GetFileExt());
}

std::string DroppedSubtitle(HDROP drop) {
    std::string path;
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        std::vector<wchar_t> buffer(DragQueryFileW(drop, 0, nullptr, 0) + 1);
        DragQueryFileW(drop, 0, buffer.data(), static_cast<UINT>(buffer.size()));
        path = WideToUtf8(buffer.data());
    }
    DragFinish(drop);
    if (path.empty()) {
        return path;
    }
    // Browse offers files only; a folder named like a subtitle file is turned away the same way.
    return SubtitleOrNothing(path, IsDirectory(path) ? std::string() : FileExtension(path));
}
