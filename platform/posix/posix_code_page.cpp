#include "platform/code_page.h"

std::string AnsiToUtf8(std::string_view text) {
    return std::string(text);
}

unsigned AnsiCodePageNumber() {
    return 0;
}
