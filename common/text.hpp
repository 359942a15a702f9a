// Bounded, always-terminated writes into fixed-size text buffers.
// Every write into a char array of the programs goes through formatText.
#pragma once

#include <cstdarg>
#include <cstddef>

#if defined(__GNUC__)
#define VIGILON_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define VIGILON_PRINTF(fmt, args)
#endif

// Formats into dst, writing at most capacity-1 characters and always a
// terminating NUL (nothing is written when capacity is 0). A longer result is
// cut. Returns the number of characters stored.
std::size_t formatText(char* dst, std::size_t capacity, const char* format, ...)
    VIGILON_PRINTF(3, 4);

// The same with a va_list, for formatting functions of their own.
std::size_t formatTextList(char* dst, std::size_t capacity, const char* format, va_list args)
    VIGILON_PRINTF(3, 0);

// Copies src (null counts as empty) through formatText.
std::size_t copyText(char* dst, std::size_t capacity, const char* src);

template <std::size_t N> std::size_t copyText(char (&dst)[N], const char* src) {
    return copyText(dst, N, src);
}
