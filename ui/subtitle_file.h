#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

class CWnd;

// The extension of the file named by `path` without its dot: what follows the last dot of the last path component,
// empty when there is none. `path` is UTF-8.
std::string FileExtension(const std::string& path);
// The file name of `path`, without its folder, for a sentence that names a file.
std::string FileName(const std::string& path);

// The subtitle file the user chooses, as a full UTF-8 path, in the system's open-file dialog over `parent`, which
// offers subtitle files (.sub, .srt, .vtt) first. Empty when the user cancels, or chooses a file of another kind,
// which a message box has then said (kUnrecognizedFormatMessage).
std::string BrowseForSubtitle(CWnd* parent);
// The first file of a drop from the file manager, taken as BrowseForSubtitle takes a file: a file of another kind,
// or a folder however it is named, gives the same message box and an empty path. Finishes the drop.
std::string DroppedSubtitle(HDROP drop);
