// What the monitor and the companion server agree on: the port, the message
// and its record, the reply codes, and the extension that may follow the
// record's terminating zero byte. Servers that know no extension read the
// message only up to that zero byte, so it changes nothing for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace companion {

inline constexpr std::uint16_t Port = 25876;
inline constexpr std::size_t MessageSize = 2048;

// The record: "%d %d %d %s %d %f %s %s %d %d %s %d %d", thirteen fields.
inline constexpr const char* RecordFormat = "%d %d %d %s %d %f %s %s %d %d %s %d %d";

// The first byte of the server's reply.
enum ReplyCode : int {
    Continue = 0,
    StopMonitor = 1,
    ToggleTray = 2,
    RestartClient = 3,
    PauseClient = 4,  // today's client: pause folding
    FoldClient = 5,   // today's client: fold (resume)
    FinishClient = 6, // today's client: finish the current units, then pause
};

// The extension: right after the record's zero byte, the marker, then
// blank-separated key=value pairs, then a zero byte, all within the message.
inline constexpr const char* ExtensionMarker = "VGX1";

struct Extension {
    bool present = false;     // the marker stood right after the record's zero byte
    bool fromApi = false;     // source=api (else source=file)
    bool obeysControl = false; // ctl=1: the monitor obeys the restart (and client) commands
    // With source=api only:
    std::string state;   // the unit's state as the client names it, e.g. "RUN"
    bool paused = false;
    long long etaSeconds = -1; // -1: unknown
    long long ppd = 0;         // the client's points-per-day estimate
    std::string prcg;          // "<project>/<run>/<clone>/<gen>"
};

// Writes the extension after the record's terminating zero byte at
// recordEnd (the index of that zero byte) in message of size bytes. A text
// value too long for the room left is cut to fit and pairs that find no
// room at all are left out; the extension always ends with a zero byte
// within the message, or is not written at all (no room for the marker).
// Returns the number of bytes written, 0 when none.
std::size_t writeExtension(char* message, std::size_t size, std::size_t recordEnd,
                           const Extension& extension);

// Reads the extension of a message whose record ends (zero byte) at
// recordEnd. Anything malformed is ignored: present stays false, or a
// pair that does not parse is skipped.
Extension readExtension(const char* message, std::size_t size, std::size_t recordEnd);

} // namespace companion
