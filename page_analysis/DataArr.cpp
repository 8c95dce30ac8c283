#include "DataArr.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace ombra {

int CCharArray::appendFormat(int position, const char* format, ...) {
    // Formatted first into a local buffer that grows by 128 until the text fits.
    char local[128];
    char* buffer = local;
    int room = sizeof local;
    int length;
    for (;;) {
        va_list args;
        va_start(args, format);
        length = std::vsnprintf(buffer, room, format, args);
        va_end(args);
        if (length < 0) {
            if (buffer != local) std::free(buffer);
            return -1;
        }
        if (length < room) break;
        if (buffer != local) std::free(buffer);
        room += 128;
        buffer = static_cast<char*>(std::malloc(room));
        if (!buffer) return -1;
    }
    const int written = appendText(position, buffer, length);
    if (buffer != local) std::free(buffer);
    return written;
}

int CCharArray::appendText(int position, const char* text) {
    return appendText(position, text, text ? static_cast<int>(std::strlen(text)) : 0);
}

int CCharArray::appendText(int position, const char* text, int length) {
    if (position < 0 || length < 0) return -1;
    if (position + length + 1 >= capacity_ && !reserve(position + length + 129)) return -1;
    if (length) std::memcpy(items_ + position, text, length);
    items_[position + length] = 0;
    count_ = position + length + 1;
    return length;
}

void CCharArray::wipe() {
    if (items_) std::memset(items_, 0, capacity_);
    count_ = 0;
}

}  // namespace ombra
