#include "commands.hpp"

std::optional<Command> commandFromName(std::string_view name) {
    for (Command c : {Command::Stop, Command::Toggle, Command::Restart}) {
        if (name == commandName(c)) {
            return c;
        }
    }
    return std::nullopt;
}

std::string_view commandName(Command command) {
    switch (command) {
    case Command::Stop:
        return "stop";
    case Command::Toggle:
        return "toggle";
    case Command::Restart:
        return "restart";
    case Command::None:
        break;
    }
    return "";
}
