#include "common/start_arguments.hpp"

#include "vigilon_version.hpp"

#include <cstring>

namespace {

// The folder both programs stand in and the files the monitor uses.
#define VIGILON_FOLDER_TEXT                                                                        \
    "Start it without arguments in the vigilon folder inside the client's folder (the\n"           \
    "one holding client.cfg). Today's client needs no particular folder.\n"                        \
    "\n"                                                                                           \
    "Files:\n"                                                                                     \
    "  vigilon.ini       the settings, one \"key value\" a line (vigilon_config writes it)\n"      \
    "  vigilon_log.txt   the event log\n"                                                          \
    "  database.txt      the projects' cores, points and frames\n"                                 \
    "  ../unitinfo.txt   the old clients' unit file\n"                                             \
    "  ../client.cfg     the client's user name and team\n"

#define VIGILON_SETTINGS_TEXT                                                                      \
    "\n"                                                                                           \
    "Settings in vigilon.ini:\n"                                                                   \
    "  delay N      minutes between two updates, at least 1\n"                                     \
    "  cpunum N     your CPU number, shown and reported\n"                                         \
    "  ontop 1      keep the window above all others\n"                                            \
    "  fhlog 1      write the event log\n"                                                         \
    "  quiet 1      start as a tray icon\n"                                                        \
    "  stats 1      send status records to the companion server\n"                                 \
    "  ipadd ADDR   the companion server's IPv4 address\n"                                         \
    "  servc 1      obey the server's restart command\n"                                           \
    "  spath NAME   the client's service name\n"                                                   \
    "  vant! 1      submit finished units to the statistics site\n"                                \
    "  nowin 1      silent mode: no window and no icon\n"                                          \
    "  clapi ADDR   today's client's API, HOST:PORT or 1; 0: the unit file only\n"                 \
    "  clgrp NAME   follow only this resource group of today's client\n"

constexpr const char* MonitorHelp =
    "usage: vigilon [--help | --version]\n"
    "\n"
    "Vigilon follows the Folding@home client and shows its current work unit in a\n"
    "small window, as a tray icon or not at all; it logs the units and can report\n"
    "to a companion server and a statistics site.\n"
    "\n" VIGILON_FOLDER_TEXT VIGILON_SETTINGS_TEXT;

constexpr const char* SetupHelp =
    "usage: vigilon_config [--help | --version]\n"
    "\n"
    "The setup tool of the Vigilon monitor: one dialog edits vigilon.ini.\n"
    "\"Save and Exit\" writes it (exit status 1), the close box leaves it (0);\n"
    "lines the tool does not write itself are kept.\n"
    "\n" VIGILON_FOLDER_TEXT VIGILON_SETTINGS_TEXT;

constexpr const char* MonitorVersion = "vigilon " VIGILON_VERSION "\n";
constexpr const char* SetupVersion = "vigilon_config " VIGILON_VERSION "\n";

} // namespace

const char* startArgumentText(Program program, int argc, const char* const* argv) {
    if (argc < 2 || argv == nullptr || argv[1] == nullptr) {
        return nullptr;
    }
    const bool monitor = program == Program::Monitor;
    if (std::strcmp(argv[1], "--help") == 0) {
        return monitor ? MonitorHelp : SetupHelp;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        return monitor ? MonitorVersion : SetupVersion;
    }
    return nullptr;
}
