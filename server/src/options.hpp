// The server's command line.
#pragma once

#include "common/companion_protocol.hpp"
#include "source_limits.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

constexpr int DefaultWebPort = 8080;

struct ServerOptions {
    std::string listenAddress = "0.0.0.0";
    int listenPort = companion::Port; // 0: any free port (tests and benchmarks)
    std::string webAddress = "127.0.0.1";
    int webPort = DefaultWebPort;
    std::string databasePath;         // empty: vigilon_server.db beside the program
    std::string token;                // empty: one is generated
    std::size_t perAddressLimit = 64; // open companion connections per source address
    std::size_t unitsPerMinute = 4;   // finished units stored per machine a minute
    AllowList allowed;                // who may report; empty: anyone
    std::string tlsCert, tlsKey;      // both set: the dashboard over HTTPS only
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name; an error gives nullopt and
// the reason in error.
std::optional<ServerOptions> parseOptions(const std::vector<std::string>& args, std::string& error);

// True for 127.0.0.0/8, ::1 and localhost.
bool isLoopbackAddress(const std::string& address);

extern const char* const UsageText;
