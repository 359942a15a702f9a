// The controls of the setup dialog, named by their template ids. The logic
// and both dialog backends use these names.
#pragma once

namespace setup_control {

inline constexpr int SaveAndExit = 1;     // "Save and Exit"
inline constexpr int AlwaysOnTop = 101;   // check box
inline constexpr int CpuNumber = 102;     // edit box
inline constexpr int Interval = 104;      // edit box, digits only (minutes)
inline constexpr int LogFile = 107;       // "Enable log file"
inline constexpr int StartInTray = 108;   // "Start in system tray"
inline constexpr int SilentMode = 109;    // "Start in silent mode"
inline constexpr int ServerLink = 110;    // "Allow Vigilon to send stats to Dornhelm"
inline constexpr int ServerAddress = 111; // edit box
inline constexpr int RemoteControl = 113; // "Let Dornhelm control Vigilon remotely"
inline constexpr int ServiceName = 114;   // edit box
inline constexpr int StatsSite = 117;     // "Send data to Team Vantor's stat server"

} // namespace setup_control
