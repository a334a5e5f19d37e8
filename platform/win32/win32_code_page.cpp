#include <windows.h>

#include "platform/code_page.h"
#include "platform/win32/utf16.h"

std::string AnsiToUtf8(std::string_view text) {
    return WideToUtf8(CodePageToWide(CP_ACP, text));
}

unsigned AnsiCodePageNumber() {
    return GetACP();
}
