// The reply byte's commands and their names in the web API.
#pragma once

#include <optional>
#include <string_view>

enum class Command : unsigned char { None = 0, Stop = 1, Toggle = 2, Restart = 3 };

std::optional<Command> commandFromName(std::string_view name);
// "stop", "toggle", "restart"; "" for None.
std::string_view commandName(Command command);
