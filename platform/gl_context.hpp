// The status window's OpenGL context and bitmap font.
#pragma once

#include "platform/types.hpp"

#include <cstdint>

namespace platform {

struct GlContext {
    NativeHandle deviceContext = nullptr;
    NativeHandle renderContext = nullptr;
};

// Creates a double-buffered RGBA context (24 colour, 16 depth bits) on the
// window and makes it current.
GlContext createGlContext(NativeHandle window);

// Makes no context current and releases the context and device context.
void destroyGlContext(NativeHandle window, NativeHandle deviceContext, NativeHandle renderContext);

// Builds the display lists of the bold 12-pixel monospaced font for the
// character codes first .. first+count-1 into the lists from listBase.
void buildFontLists(NativeHandle deviceContext, int first, int count, std::uint32_t listBase);

void swapBuffers(NativeHandle deviceContext);

} // namespace platform
