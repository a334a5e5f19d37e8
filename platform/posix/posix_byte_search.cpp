#include "platform/byte_search.h"

const char* FindByte(const char* begin, const char* end, char byte) {
    return static_cast<const char*>(std::memchr(begin, byte, static_cast<std::size_t>(end - begin)));
}
