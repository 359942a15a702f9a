// The monitor's one record of settings, unit status, protein data, client
// and host identity, times, counters, handles and shared buffers.
#pragma once

#include "monitor/unit_tag.hpp"

#include "monitor/report/server_connection.hpp"
#include "platform/tray.hpp"
#include "platform/types.hpp"
#include "vigilon_version.hpp"

#include <cstdint>
#include <cstdio>
#include <ctime>

struct ClientApiSource;

inline constexpr const char* ProgramTitle = "Vigilon v" VIGILON_VERSION;
inline constexpr int TicksPerMinute = 600;
inline constexpr double SecondsPerMinute = 60.0;
inline constexpr double SecondsPerHour = 3600.0;
inline constexpr double ProgressScale = 67.0;

struct MonitorState {
    // Settings.
    int updateTicks = 0;
    int cpuNumber = 0;
    int alwaysOnTop = 0;
    int logEnabled = 0;
    int serverLinkEnabled = 0;
    int trayMode = 0;
    char serviceName[256] = {};
    char serverAddress[64] = {};
    int remoteControlEnabled = 0;
    int statsSiteEnabled = 0;
    int silentMode = 0;
    // Today's client's API: "HOST:PORT", "0" for the unit file only, empty
    // for the unit file with the API as the fallback when it is missing.
    char clientApiAddress[64] = {};
    char clientApiGroup[64] = {}; // only units of this group; empty: all

    // Work-unit status.
    char unitName[75] = {};
    char previousUnitName[36] = {};
    char unitTag[UnitTagSize] = {}; // empty: the unit carries no tag
    int progressPercent = 0;
    int unitCount = 0;

    // Protein data.
    int projectNumber = 0;
    char coreName[15] = {};
    int unitPoints = 0;
    int unitFrames = 0;
    int proteinFound = 0; // the last lookup found a record

    // What today's client says of the current unit, for a project that the
    // database lacks.
    int unitFromApi = 0;
    char apiCoreType[15] = {};
    int apiCredit = 0;
    // ... and what the companion server's page shows of it.
    char apiUnitState[16] = {};
    int apiUnitPaused = 0;
    long long apiEtaSeconds = -1;
    long long apiPointsPerDay = 0;
    char apiUnitPrcg[48] = {}; // "<project>/<run>/<clone>/<gen>"

    // Client identity.
    int machineId = 0;
    char userName[57] = {};
    int teamNumber = 0;

    // Host identity.
    char cpuVendor[20] = {};
    char cpuName[52] = {};
    float cpuMhz = 0.0f;
    std::uint64_t totalMemory = 0; // bytes; 64-bit so large machines report right

    // Times.
    std::time_t programStartTime = 0;
    std::time_t unitStartTime = 0;
    std::time_t endTime = 0;
    double unitMinutes = 0.0;
    float frameMinutes = 0.0f;
    std::time_t logTime = 0;

    // Loop counters and flags.
    int tickCounter = 0;
    int blinkCounter = 0;
    int firstRun = 1;
    int lastServerCommand = 0;
    int monitorClosing = 0;

    // Window, rendering and tray handles.
    platform::NativeHandle instance = nullptr;
    platform::NativeHandle window = nullptr;
    platform::NativeHandle deviceContext = nullptr;
    platform::NativeHandle renderContext = nullptr;
    std::uint32_t fontListBase = 0;
    platform::TrayIcon trayIcon;

    // Shared buffers and streams.
    std::FILE* inputFile = nullptr;
    char lineBuffer[512] = {};
    std::FILE* logFile = nullptr;
    char messageBuffer[2048] = {};
    ServerConnection serverConnection;
    char statsUrl[2024] = {};

    // The API source while it is in use (its connection and the client's
    // state); null while the unit file is the source.
    ClientApiSource* clientApi = nullptr;
    int startEntryPending = 0; // the start entry waits for the first unit
};
