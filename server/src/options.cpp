#include "options.hpp"

#include "token.hpp"

#include <charconv>

const char* const UsageText =
    "usage: vigilon_server [--listen ADDR[:PORT]] [--web ADDR:PORT] [--db PATH] [--token TEXT]\n"
    "                      [--per-address-limit N] [--units-per-minute N]\n"
    "                      [--allow CIDR[,CIDR...]]\n"
    "                      [--tls-cert FILE --tls-key FILE]\n"
    "       vigilon_server --help | --version\n"
    "The companion server of the Vigilon monitors: takes their status records, shows\n"
    "the machines on a web dashboard, keeps the finished units and sends commands.\n"
    "Serves until Ctrl+C or SIGTERM.\n"
    "  --listen ADDR[:PORT]    companion address (default 0.0.0.0, port 25876)\n"
    "  --web ADDR:PORT         dashboard address (default 127.0.0.1:8080)\n"
    "  --db PATH               history database (default vigilon_server.db beside the program)\n"
    "  --token TEXT            token for commands (default: VIGILON_SERVER_TOKEN from the\n"
    "                          environment, else a new one, printed at start)\n"
    "  --per-address-limit N   open companion connections per source address (default 64)\n"
    "  --units-per-minute N    finished units stored per machine a minute (default 4)\n"
    "  --allow CIDR[,CIDR...]  only these addresses may report, e.g. 192.168.1.0/24,127.0.0.1/32\n"
    "                          (default: anyone; may be given more than once)\n"
    "  --tls-cert FILE         the dashboard's certificate (PEM, with its chain): HTTPS only\n"
    "  --tls-key FILE          its private key (PEM)\n"
    "  --help                  this text\n"
    "  --version               the program's name and version\n";

namespace {

constexpr std::size_t MaxCount = 1000000; // of --per-address-limit and --units-per-minute

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

// A whole number from 1 to MaxCount.
bool parseCount(const std::string& text, std::size_t& count) {
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), count);
    return ec == std::errc{} && ptr == text.data() + text.size() && count >= 1 && count <= MaxCount;
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
    } else if (name == "--per-address-limit") {
        ok = parseCount(value, o.perAddressLimit);
    } else if (name == "--units-per-minute") {
        ok = parseCount(value, o.unitsPerMinute);
    } else if (name == "--allow") {
        if (!o.allowed.add(value, error)) {
            error = "bad value for --allow: " + error;
            return false;
        }
    } else if (name == "--tls-cert" || name == "--tls-key") {
        (name == "--tls-cert" ? o.tlsCert : o.tlsKey) = value;
        ok = !value.empty();
    } else if (name == "--token") {
        o.token = value;
        ok = usableToken(value);
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
    if (options.tlsCert.empty() != options.tlsKey.empty()) {
        error = "--tls-cert and --tls-key go together";
        return std::nullopt;
    }
    return options;
}

bool isLoopbackAddress(const std::string& address) {
    return address.rfind("127.", 0) == 0 || address == "::1" || address == "localhost";
}
