// The few OpenGL 1.1 immediate-mode steps the status frame needs.
#pragma once

#include <cstdint>

namespace platform {

struct Vertex {
    float red, green, blue; // colour current when the vertex is given
    float x, y, z;
};

// Clears the colour buffer to black.
void clearFrame();

// Loads the identity model-view matrix and translates it.
void resetModelView(float x, float y, float z);

// One GL_QUADS quad with per-vertex colours.
void drawQuad(const Vertex (&corners)[4]);

void setColour(float red, float green, float blue);

void setRasterPosition(float x, float y);

// Calls the font display lists for the text's bytes, a byte of code n
// calling list listBase + n - 32.
void drawListText(const char* text, int length, std::uint32_t listBase);

// Reserves count consecutive display lists; returns the first.
std::uint32_t generateLists(int count);

void deleteLists(std::uint32_t first, int count);

} // namespace platform
