// The program's icon picture: the included XPM is parsed once into ARGB
// pixels and scaled on request, by area averaging when shrinking and by
// nearest pixel when growing.
#include "platform/x11/session.hpp"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

namespace {

#include "resources/vigilon_icon.xpm"

constexpr std::size_t XpmLines = sizeof vigilon_icon_xpm / sizeof vigilon_icon_xpm[0];
constexpr int MaxSide = 1024;
constexpr std::size_t MaxLine = 4096;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb; // row by row; empty when the XPM is unusable
};

struct Header {
    int width = 0;
    int height = 0;
    int colours = 0;
    int charsPerPixel = 0;
};

const char* lineAt(std::size_t index) {
    return index < XpmLines ? vigilon_icon_xpm[index] : nullptr;
}

bool readHeader(Header& header) {
    const char* line = lineAt(0);
    if (line == nullptr || std::sscanf(line, "%d %d %d %d", &header.width, &header.height,
                                       &header.colours, &header.charsPerPixel) != 4) {
        return false;
    }
    return header.width > 0 && header.width <= MaxSide && header.height > 0 &&
           header.height <= MaxSide && header.colours > 0 && header.colours <= 256 &&
           header.charsPerPixel == 1;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : 0;
}

// One channel (0 red, 1 green, 2 blue) of checked hex digits of #RGB,
// #RRGGBB or #RRRRGGGGBBBB, as 0..255.
std::uint32_t channel(const char* hex, std::size_t digits, std::size_t index) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        value = value * 16 + static_cast<std::uint32_t>(hexDigit(hex[index * digits + i]));
    }
    if (digits == 1) {
        return value * 17;
    }
    return digits == 2 ? value : value >> 8;
}

// The value of the "c" key after a colour line's pixel character
// (" c #RRGGBB" or " c None").
bool parseColour(const char* line, std::uint32_t& argb) {
    const char* key = std::strstr(line, " c ");
    if (key == nullptr) {
        return false;
    }
    const char* value = key + 3;
    while (*value == ' ' || *value == '\t') {
        ++value;
    }
    if (strncasecmp(value, "None", 4) == 0) {
        argb = 0;
        return true;
    }
    if (*value != '#') {
        return false;
    }
    ++value;
    std::size_t length = std::strspn(value, "0123456789abcdefABCDEF");
    if (length != 3 && length != 6 && length != 12) {
        return false;
    }
    const std::size_t digits = length / 3;
    argb = 0xFF000000u | channel(value, digits, 0) << 16 | channel(value, digits, 1) << 8 |
           channel(value, digits, 2);
    return true;
}

// Colour of each pixel character; false when a colour line is unusable.
bool readColours(const Header& header, std::uint32_t (&table)[256], bool (&known)[256]) {
    for (int i = 0; i < header.colours; ++i) {
        const char* line = lineAt(1 + static_cast<std::size_t>(i));
        if (line == nullptr || strnlen(line, MaxLine) < 2) {
            return false;
        }
        auto key = static_cast<unsigned char>(line[0]);
        if (!parseColour(line + 1, table[key])) {
            return false;
        }
        known[key] = true;
    }
    return true;
}

bool readPixels(const Header& header, Picture& picture) {
    std::uint32_t table[256] = {};
    bool known[256] = {};
    if (!readColours(header, table, known)) {
        return false;
    }
    const auto width = static_cast<std::size_t>(header.width);
    picture.argb.assign(width * static_cast<std::size_t>(header.height), 0);
    for (int y = 0; y < header.height; ++y) {
        const char* row = lineAt(1 + static_cast<std::size_t>(header.colours + y));
        if (row == nullptr || strnlen(row, MaxLine) < width) {
            return false;
        }
        for (std::size_t x = 0; x < width; ++x) {
            auto key = static_cast<unsigned char>(row[x]);
            if (!known[key]) {
                return false;
            }
            picture.argb[static_cast<std::size_t>(y) * width + x] = table[key];
        }
    }
    picture.width = header.width;
    picture.height = header.height;
    return true;
}

Picture parsePicture() {
    Picture picture;
    Header header;
    if (!readHeader(header) || !readPixels(header, picture)) {
        std::fprintf(stderr, "vigilon: the icon picture is unreadable; the icon stays blank\n");
        return Picture{};
    }
    return picture;
}

const Picture& picture() {
    static const Picture parsed = parsePicture();
    return parsed;
}

// Source pixels of one target pixel along one axis, with their weights.
struct Span {
    int first = 0;
    int last = 0;       // inclusive
    double start = 0.0; // the covered source interval, in source pixels
    double end = 0.0;
};

Span spanOf(int target, int targetSize, int sourceSize) {
    Span span;
    if (targetSize >= sourceSize) { // growing: the nearest source pixel
        span.first = static_cast<int>((target + 0.5) * sourceSize / targetSize);
        span.last = span.first;
        span.start = span.first;
        span.end = span.first + 1.0;
        return span;
    }
    const double scale = static_cast<double>(sourceSize) / targetSize;
    span.start = target * scale;
    span.end = (target + 1) * scale;
    span.first = static_cast<int>(span.start);
    span.last = static_cast<int>(span.end - 1e-9);
    if (span.last >= sourceSize) {
        span.last = sourceSize - 1;
    }
    return span;
}

double weightIn(const Span& span, int source) {
    double low = source > span.start ? source : span.start;
    double high = source + 1.0 < span.end ? source + 1.0 : span.end;
    return high > low ? high - low : 0.0;
}

// Area average with premultiplied alpha, so transparent pixels add no colour.
std::uint32_t averageOf(const Picture& p, const Span& xs, const Span& ys) {
    double sum[4] = {};
    double area = 0.0;
    for (int y = ys.first; y <= ys.last; ++y) {
        const double wy = weightIn(ys, y);
        for (int x = xs.first; x <= xs.last; ++x) {
            const double w = wy * weightIn(xs, x);
            const std::uint32_t c = p.argb[static_cast<std::size_t>(y * p.width + x)];
            const double a = (c >> 24) / 255.0;
            sum[0] += w * a;
            sum[1] += w * a * ((c >> 16) & 0xFF);
            sum[2] += w * a * ((c >> 8) & 0xFF);
            sum[3] += w * a * (c & 0xFF);
            area += w;
        }
    }
    if (area <= 0.0 || sum[0] <= 0.0) {
        return 0;
    }
    auto byte = [](double v) { return static_cast<std::uint32_t>(v < 255.0 ? v + 0.5 : 255.0); };
    return byte(255.0 * sum[0] / area) << 24 | byte(sum[1] / sum[0]) << 16 |
           byte(sum[2] / sum[0]) << 8 | byte(sum[3] / sum[0]);
}

} // namespace

namespace platform::x11 {

void iconPictureArgb(int width, int height, unsigned long* pixels) {
    if (width <= 0 || height <= 0 || pixels == nullptr) {
        return;
    }
    const Picture& p = picture();
    for (int y = 0; y < height; ++y) {
        const Span ys = p.argb.empty() ? Span{} : spanOf(y, height, p.height);
        for (int x = 0; x < width; ++x) {
            unsigned long& out =
                pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                       static_cast<std::size_t>(x)];
            out = p.argb.empty() ? 0 : averageOf(p, spanOf(x, width, p.width), ys);
        }
    }
}

} // namespace platform::x11
