// vigilon_server: the companion server for Vigilon monitors, with a web
// dashboard. Serves until SIGINT or SIGTERM, then stops in order: listeners
// closed, open exchanges given two seconds, event streams ended, database
// closed (every write is already committed); exit status 0.

#include "companion_listener.hpp"
#include "history_store.hpp"
#include "hub.hpp"
#include "options.hpp"
#include "server_log.hpp"
#include "token.hpp"
#include "web_server.hpp"

#include "vigilon_version.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <sys/resource.h>
#include <thread>

namespace {

std::string defaultDatabasePath() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    std::filesystem::path folder = error ? std::filesystem::current_path() : program.parent_path();
    return (folder / "vigilon_server.db").string();
}

// Many monitors at once need more descriptors than the usual soft limit.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// Blocks the stop signals in every thread; the main thread takes them.
sigset_t blockStopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return signals;
}

int awaitStopSignal(const sigset_t& signals) {
    timespec second{1, 0};
    while (true) {
        int signal = sigtimedwait(&signals, nullptr, &second);
        if (signal > 0) {
            return signal;
        }
    }
}

// --token, else VIGILON_SERVER_TOKEN (which keeps it out of the process list:
// the service reads it from a root-only file), else a new one.
bool commandToken(const ServerOptions& options, std::string& token, bool& generated) {
    token = options.token;
    if (const char* given = std::getenv("VIGILON_SERVER_TOKEN");
        token.empty() && given != nullptr) {
        token = given;
        if (!usableToken(token)) {
            std::cerr << "vigilon_server: VIGILON_SERVER_TOKEN is not a usable token "
                         "(8 characters or more, no blanks)\n";
            return false;
        }
    }
    generated = token.empty();
    if (generated) {
        token = generateToken();
    }
    return true;
}

void announce(const ServerOptions& o, int companionPort, int webPort, const std::string& db,
              const std::string& token, bool tokenGenerated) {
    bool tls = !o.tlsCert.empty();
    std::cout << "companion: listening on " << o.listenAddress << ":" << companionPort << "\n"
              << "dashboard: " << (tls ? "https" : "http") << "://" << o.webAddress << ":"
              << webPort << "/\n"
              << "database: " << db << "\n";
    if (tokenGenerated) {
        std::cout << "token: " << token << "\n";
    }
    std::cout << std::flush;
    if (!tls && !isLoopbackAddress(o.webAddress)) {
        std::cerr << "warning: the dashboard listens on " << o.webAddress
                  << ", which other machines can reach, without TLS: its page, API and command"
                     " token are not encrypted (see --tls-cert and --tls-key)\n";
    }
}

int serve(const ServerOptions& options, const sigset_t& signals) {
    std::string database =
        options.databasePath.empty() ? defaultDatabasePath() : options.databasePath;
    std::string error;
    std::unique_ptr<HistoryStore> store = HistoryStore::open(database, error);
    if (!store) {
        std::cerr << "vigilon_server: cannot use the database " << database << ": " << error
                  << "\n";
        return 1;
    }
    Hub hub(*store);
    hub.limitStoredUnits(static_cast<int>(options.unitsPerMinute));
    ListenerLimits limits;
    limits.perAddress = options.perAddressLimit;
    limits.allowed = options.allowed;
    CompanionListener companion(hub, limits);
    if (!companion.bind(options.listenAddress, options.listenPort, error)) {
        std::cerr << "vigilon_server: cannot listen on " << options.listenAddress << ":"
                  << options.listenPort << ": " << error << "\n";
        return 1;
    }
    bool generated = false;
    std::string token;
    if (!commandToken(options, token, generated)) {
        return 1;
    }
    TlsFiles tls{options.tlsCert, options.tlsKey};
    WebServer web(hub, token, options.tlsCert.empty() ? nullptr : &tls);
    if (!web.valid()) {
        std::cerr << "vigilon_server: cannot use the TLS certificate " << options.tlsCert
                  << " with the key " << options.tlsKey
                  << " (unreadable, not PEM, or not a pair)\n";
        return 1;
    }
    if (!web.bind(options.webAddress, options.webPort)) {
        std::cerr << "vigilon_server: cannot serve the dashboard on " << options.webAddress << ":"
                  << options.webPort << "\n";
        return 1;
    }
    std::thread companionThread([&] { companion.run(); });
    std::thread webThread([&] { web.run(); });
    announce(options, companion.port(), web.port(), database, token, generated);
    int signal = awaitStopSignal(signals);
    logLine(std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM"));
    companion.stop();
    web.stop();
    companionThread.join();
    webThread.join();
    logLine("stopped");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // First, so that a stop request during start-up waits for the orderly
    // stop; every thread started later inherits the blocked set.
    const sigset_t signals = blockStopSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    std::optional<ServerOptions> options = parseOptions(args, error);
    if (!options) {
        std::cerr << "vigilon_server: " << error << "\n" << UsageText;
        return 2;
    }
    if (options->help) {
        std::cout << UsageText;
        return 0;
    }
    if (options->version) {
        std::cout << "vigilon_server " VIGILON_VERSION "\n";
        return 0;
    }
    raiseDescriptorLimit();
    return serve(*options, signals);
}
