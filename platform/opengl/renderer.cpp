// The status frame's drawing steps in OpenGL 1.1 immediate mode, shared by
// the Windows (WGL) and Linux (GLX) builds; only context creation and the
// font lists differ between them.
#include "platform/renderer.hpp"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h> // gl.h needs the calling-convention macros
#endif
#include <GL/gl.h>

namespace platform {

void clearFrame() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void resetModelView(float x, float y, float z) {
    glLoadIdentity();
    glTranslatef(x, y, z);
}

void drawQuad(const Vertex (&corners)[4]) {
    glBegin(GL_QUADS);
    for (const Vertex& v : corners) {
        glColor3f(v.red, v.green, v.blue);
        glVertex3f(v.x, v.y, v.z);
    }
    glEnd();
}

void setColour(float red, float green, float blue) {
    glColor3f(red, green, blue);
}

void setRasterPosition(float x, float y) {
    glRasterPos2f(x, y);
}

void drawListText(const char* text, int length, std::uint32_t listBase) {
    if (text == nullptr || length <= 0) {
        return;
    }
    // A byte of code n calls list listBase + n - 32; codes outside the
    // font's 32..127 name no list of ours and draw nothing.
    glPushAttrib(GL_LIST_BIT);
    glListBase(listBase - 32u);
    glCallLists(length, GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}

std::uint32_t generateLists(int count) {
    return glGenLists(count);
}

void deleteLists(std::uint32_t first, int count) {
    glDeleteLists(first, count);
}

} // namespace platform
