#include "platform/byte_search.h"

const char* FindByte(const char* begin, const char* end, char byte) {
    return FindByteInVectors(begin, end, byte);
}
