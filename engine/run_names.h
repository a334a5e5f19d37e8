#pragma once

#include <string>
#include <string_view>
#include <vector>

// The names a run derives from an input path, by byte positions: a tag inserted before its last four bytes (the dot
// and a three-letter extension). film.srt gives film_new.srt (the result while it is written), film_original.srt
// (the input before the last run) and film_original-1.srt, film_original-2.srt, ... (older backups, oldest first).
std::string TemporaryName(const std::string& path);
std::string OriginalName(const std::string& path);
std::string KeptName(const std::string& path, int number);

// Whether a file with this extension (without its dot) is one the program handles: "srt", "sub" or "vtt" in any
// letter case.
bool IsSubtitleExtension(std::string_view extension);
// Whether `path` ends in ".srt", ".sub" or ".vtt", any letter case.
bool HasSubtitleExtension(const std::string& path);
// Whether `path` ends in ".vtt", any letter case.
bool IsWebVttName(const std::string& path);

// When `path` is the "_original", an "_original-N" or the "_new" name of another of `files`: that file. Empty
// otherwise. Names are compared as written.
std::string BackupOwner(const std::string& path, const std::vector<std::string>& files);
