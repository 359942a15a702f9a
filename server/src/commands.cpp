#include "commands.hpp"

std::optional<Command> commandFromName(std::string_view name) {
    for (Command c : {Command::Stop, Command::Toggle, Command::Restart, Command::Pause,
                      Command::Fold, Command::Finish}) {
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
    case Command::Pause:
        return "pause";
    case Command::Fold:
        return "fold";
    case Command::Finish:
        return "finish";
    case Command::None:
        break;
    }
    return "";
}

bool machineObeys(const companion::Extension& extension, Command command) {
    switch (command) {
    case Command::Restart:
        return !extension.present || extension.obeysControl;
    case Command::Pause:
    case Command::Fold:
    case Command::Finish:
        return extension.present && extension.fromApi && extension.obeysControl;
    case Command::Stop:
    case Command::Toggle:
    case Command::None:
        break;
    }
    return true;
}
