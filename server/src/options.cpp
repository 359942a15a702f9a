#include "options.hpp"

#include <charconv>

const char* const UsageText =
    "usage: vigilon_server [--listen ADDR[:PORT]] [--web ADDR:PORT] [--db PATH] [--token TEXT]\n"
    "       vigilon_server --help | --version\n"
    "The companion server of the Vigilon monitors: takes their status records, shows\n"
    "the machines on a web dashboard, keeps the finished units and sends commands.\n"
    "Serves until Ctrl+C or SIGTERM.\n"
    "  --listen   companion address (default 0.0.0.0, port 25876)\n"
    "  --web      dashboard address (default 127.0.0.1:8080)\n"
    "  --db       history database (default vigilon_server.db beside the program)\n"
    "  --token    token for commands (default: a new one, printed at start)\n"
    "  --help     this text\n"
    "  --version  the program's name and version\n";

namespace {

bool parsePort(const std::string& text, int& port) {
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
    return ec == std::errc{} && ptr == text.data() + text.size() && port >= 0 && port <= 65535;
}

// ADDR:PORT, ADDR alone when a default port is allowed; [v6]:PORT for IPv6.
bool splitHostPort(const std::string& text, std::string& host, int& port, bool portRequired) {
    std::size_t colon = text.rfind(':');
    bool bracketed = !text.empty() && text.front() == '[';
    if (bracketed) {
        std::size_t close = text.find(']');
        if (close == std::string::npos) {
            return false;
        }
        host = text.substr(1, close - 1);
        colon = close + 1 < text.size() && text[close + 1] == ':' ? close + 1 : std::string::npos;
    } else if (colon != std::string::npos) {
        host = text.substr(0, colon);
    } else {
        host = text;
    }
    if (colon == std::string::npos) {
        return !portRequired && !host.empty();
    }
    return !host.empty() && parsePort(text.substr(colon + 1), port);
}

bool applyOption(ServerOptions& o, const std::string& name, const std::string& value,
                 std::string& error) {
    bool ok = true;
    if (name == "--listen") {
        ok = splitHostPort(value, o.listenAddress, o.listenPort, false);
    } else if (name == "--web") {
        ok = splitHostPort(value, o.webAddress, o.webPort, true);
    } else if (name == "--db") {
        o.databasePath = value;
        ok = !value.empty();
    } else if (name == "--token") {
        o.token = value;
        ok = value.size() >= 8 && value.find_first_of(" \t\r\n") == std::string::npos;
    } else {
        error = "unknown option " + name;
        return false;
    }
    if (!ok) {
        error = "bad value for " + name + ": '" + value + "'";
    }
    return ok;
}

} // namespace

std::optional<ServerOptions> parseOptions(const std::vector<std::string>& args,
                                          std::string& error) {
    ServerOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            options.help = true;
            continue;
        }
        if (args[i] == "--version") {
            options.version = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = args[i].rfind("--", 0) == 0 ? args[i] + " needs a value"
                                                : "unknown argument " + args[i];
            return std::nullopt;
        }
        if (!applyOption(options, args[i], args[i + 1], error)) {
            return std::nullopt;
        }
        ++i;
    }
    return options;
}

bool isLoopbackAddress(const std::string& address) {
    return address.rfind("127.", 0) == 0 || address == "::1" || address == "localhost";
}
