#pragma once

#include <string>
#include <string_view>

// The program keeps every path and text in UTF-8; Windows takes UTF-16. These convert at that edge. A sequence that
// is not valid in its encoding becomes U+FFFD, so a conversion always gives a result.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// The same for text in another code page (CP_ACP for the ANSI code page).
std::wstring CodePageToWide(unsigned code_page, std::string_view text);

// The name that the wide file calls get for `path`: an absolute path, normalised by GetFullPathNameW (relative names
// resolved against the working directory, "." and ".." removed, trailing dots and blanks dropped as Windows does),
// then given the "\\?\" prefix ("\\?\UNC\server\share" for "\\server\share") so that no MAX_PATH limit applies.
// Device names ("\\.\NUL") and names that already carry a prefix are left as the system gives them.
std::wstring LongPath(const std::string& path);
