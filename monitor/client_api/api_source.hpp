// Today's client as the unit source: the connection to its API, its state,
// and the unit the monitor follows in it. The unit's name and progress
// reach the rest of the monitor at updates, as the unit file's do, and a
// new unit sets off the same unit change.
#pragma once

#include <cstddef>
#include <cstdint>

struct MonitorState;

inline constexpr const char* DefaultClientApiHost = "127.0.0.1";
inline constexpr std::uint16_t DefaultClientApiPort = 7396;
inline constexpr const char* ClientApiPath = "/api/websocket";
inline constexpr int ClientApiConnectMilliseconds = 2000;
inline constexpr int ClientApiFirstStateMilliseconds = 5000;

enum class UnitSource {
    File,        // "clapi 0"
    Api,         // "clapi HOST:PORT"
    FileThenApi, // no clapi value: the unit file, or the API when it is missing
};

// Reads the clapi setting: "0" the unit file; "1" or an empty host the API
// at the default address; "HOST" or "HOST:PORT" with a dotted IPv4 host
// (or "localhost") that address. Text that names no address is the unit
// file only.
UnitSource parseUnitSource(const char* setting, char* host, std::size_t hostCapacity,
                           std::uint16_t& port);

// Makes the API the source and connects; waits up to firstStateMilliseconds
// for the client's state and follows its unit. True when the state came.
bool startClientApi(MonitorState& state, const char* host, std::uint16_t port,
                    int firstStateMilliseconds);

// The update's read: connects again when the connection was lost, takes
// what arrived and follows the unit. Returns 1 when the client's state is
// known, 0 while it is not (the last unit stays shown).
int pollClientApi(MonitorState& state);

// Asks the client to change its folding state ("pause", "fold", "finish").
// Each command carries a time later, to the second, than any sent before,
// since the client ignores one that is not. False when the client is not
// connected or the command cannot be sent.
bool sendClientState(MonitorState& state, const char* folding);

// The idle pass's sleep; the client's input is read within it once much
// has come, and the rest at the next update.
void waitWithClientApi(MonitorState& state, int milliseconds);

// Closes the connection and releases the source; the unit file is the
// source again.
void stopClientApi(MonitorState& state);
