#include "common/text.hpp"

#include <cstdarg>
#include <cstdio>

std::size_t formatText(char* dst, std::size_t capacity, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::size_t stored = formatTextList(dst, capacity, format, args);
    va_end(args);
    return stored;
}

std::size_t formatTextList(char* dst, std::size_t capacity, const char* format, va_list args) {
    if (dst == nullptr || capacity == 0) {
        return 0;
    }
    dst[0] = '\0';
    if (format == nullptr) {
        return 0;
    }
    int written = std::vsnprintf(dst, capacity, format, args);
    if (written < 0 || static_cast<std::size_t>(written) >= capacity) {
        dst[capacity - 1] = '\0'; // cut: terminated even where vsnprintf would not
    }
    if (written < 0) {
        dst[0] = '\0';
        return 0;
    }
    std::size_t stored = static_cast<std::size_t>(written);
    return stored < capacity ? stored : capacity - 1;
}

std::size_t copyText(char* dst, std::size_t capacity, const char* src) {
    return formatText(dst, capacity, "%s", src != nullptr ? src : "");
}
