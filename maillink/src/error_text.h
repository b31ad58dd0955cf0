// The fallback text of GetWin32ErrorText, "Errorcode %d", written within a caller's buffer size.
#pragma once

#include <cstdint>

namespace maillink {

// Writes "Errorcode <code>" (signed decimal) into buffer, cut to size - 1 characters and always
// terminated; with size 0 nothing is written. No formatting library is used, so the Windows DLL
// needs nothing beyond the operating system for it.
inline void WriteErrorCode(char *buffer, uint8_t size, int32_t code) {
    if (buffer == nullptr || size == 0) return;
    char text[24] = "Errorcode ";
    unsigned pos = 10;
    // Digits of the magnitude, computed in 64 bits so that INT32_MIN has a magnitude too.
    int64_t magnitude = code;
    if (magnitude < 0) {
        text[pos++] = '-';
        magnitude = -magnitude;
    }
    char digits[12];
    unsigned count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (count > 0) text[pos++] = digits[--count];
    text[pos] = '\0';

    unsigned keep = pos < size ? pos : size - 1u;
    for (unsigned i = 0; i < keep; ++i) buffer[i] = text[i];
    buffer[keep] = '\0';
}

}  // namespace maillink
