// The reply byte's commands, their names in the web API, and which of them a
// machine has said it obeys.
#pragma once

#include "common/companion_protocol.hpp"

#include <optional>
#include <string_view>

enum class Command : unsigned char {
    None = companion::Continue,
    Stop = companion::StopMonitor,
    Toggle = companion::ToggleTray,
    Restart = companion::RestartClient,
    Pause = companion::PauseClient,
    Fold = companion::FoldClient,
    Finish = companion::FinishClient,
};

std::optional<Command> commandFromName(std::string_view name);
// "stop", "toggle", "restart", "pause", "fold", "finish"; "" for None.
std::string_view commandName(Command command);

// Whether the monitor behind this extension obeys the command: pause, fold
// and finish need one that follows today's client (source=api) and obeys
// commands (ctl=1); restart needs ctl=1. A monitor that sends no extension
// cannot say, so it keeps being sent restart as before.
bool machineObeys(const companion::Extension& extension, Command command);
