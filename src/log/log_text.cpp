#include "log/log_text.h"

void CopyForLog(char* out, std::size_t size, const char* text, std::size_t length)
{
    if (size == 0)
        return;
    std::size_t n = 0;
    for (; n + 1 < size && n < length && text[n] != '\0'; ++n) {
        unsigned char c = static_cast<unsigned char>(text[n]);
        out[n] = (c < 0x20 || c == 0x7F) ? '?' : text[n];
    }
    out[n] = '\0';
}
