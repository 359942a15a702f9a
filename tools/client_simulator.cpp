// client_simulator: stands in for a Folding@home v5/v6 client in a client folder, for the
// monitor's demo, end-to-end tests and soak run.
//
//   client_simulator <client-folder> [--period-ms N] [--steps-per-unit N] [--units N]
//                    [--start-project N] [--once] [--lf] [--smp] [--wait-for-log FILE]
//
// It creates the folder if needed, writes client.cfg once (an existing one is left alone) and
// then rewrites unitinfo.txt every period, moving the current unit on by one step. A unit that
// has reached 100% is followed by the next project of the built-in list at 0%. Every rewrite
// goes to a temporary file in the same folder that is then renamed over unitinfo.txt, so a
// reader sees either the old or the new file, never a part of one. Each rewrite prints one line
// "unit <n> <name> <progress>%" to stdout; with --smp the unit's tag follows:
// "unit <n> Gromacs <progress>% P2683R6C12G21".
//
// --smp writes the files of a multi-core (SMP) client: the name line is "Name: Gromacs" for
// every unit, and the project is only in the tag line, "Tag: P<project>R<run>C<clone>G<gen>",
// which differs from one unit to the next (the generation is the unit's number). Otherwise the
// name line carries the project ("Name: p2665_IBX in water") and the tag line is "Tag: -".
//
// --wait-for-log FILE paces the client by the monitor instead of the clock alone: after writing
// a new unit (any but the first of the run) it waits until the monitor's event log FILE has a
// new "Beginning process for " line, at most 30 s, before it goes on. A test thus gives the
// monitor every unit, however slow the machine, without a generous sleep.
//
// Exit codes: 0 done (or stopped by SIGINT/SIGTERM), 1 a file could not be written, 2 bad usage,
// 3 the monitor did not log a new unit within the time limit of --wait-for-log.

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Real projects of the starter database (data/database.txt), with the work-unit name the client
// shows and the final deadline in days, which puts the due time after the download time. Names
// begin with 'p' and at most five digits, so the monitor can derive the project from the name.
struct Project {
    int number;
    std::string_view name;
    double finalDeadlineDays;
};

constexpr std::array<Project, 10> kProjects{{
    {2665, "p2665_IBX in water", 6.0},
    {10501, "p10501", 12.0},
    {4744, "p4744_lam5w_300K", 3.0},
    {6024, "p6024_Protein in POPC", 6.0},
    {780, "p780_Minichap_0kT", 154.0},
    {2683, "p2683_SINGLE VESICLE in water", 6.0},
    {10002, "p10002", 23.04},
    {2170, "p2170_lambda_obc_300K", 66.0},
    {2008, "p2008_BBA5", 61.0},
    {6001, "p6001_VILLIN", 3.0},
}};

constexpr std::array<std::string_view, 12> kMonths{"January",   "February", "March",    "April",
                                                   "May",       "June",     "July",     "August",
                                                   "September", "October",  "November", "December"};

constexpr int kBarWidth = 10;
constexpr milliseconds kSleepSlice{50};       // longest single sleep, so a stop is seen quickly
constexpr int kRenameAttempts = 10;           // a reader holding the file open blocks a rename
constexpr milliseconds kRenameRetryDelay{20}; // on some systems; retry briefly, then give up
constexpr milliseconds kLogPollInterval{10};
constexpr milliseconds kLogWaitLimit{30'000};
constexpr std::string_view kSmpName = "Gromacs";
constexpr std::string_view kUnitBeginsEntry = "Beginning process for ";

struct Options {
    fs::path folder;
    long long periodMs = 1000;
    long long stepsPerUnit = 10;
    long long units = 0; // 0: run until stopped
    std::size_t firstProject = 0;
    bool once = false;
    bool crlf = true;
    bool smp = false;
    fs::path waitForLog; // empty: no pacing by the monitor's log
};

volatile std::sig_atomic_t stopRequested = 0;

void onStopSignal(int) {
    stopRequested = 1;
}

void printUsage(std::FILE* to) {
    std::fputs("usage: client_simulator <client-folder> [--period-ms N] [--steps-per-unit N]\n"
               "                        [--units N] [--start-project N] [--once] [--lf] [--smp]\n"
               "                        [--wait-for-log FILE]\n"
               "  --period-ms N       time between rewrites of unitinfo.txt (default 1000)\n"
               "  --steps-per-unit N  rewrites from 0% to 100% of one unit (default 10, max 100)\n"
               "  --units N           stop once N units have reached 100% (default: run until\n"
               "                      SIGINT or SIGTERM)\n"
               "  --start-project N   begin with project N of the built-in list\n"
               "  --once              write the files once and exit\n"
               "  --lf                LF line ends instead of the client's CRLF\n"
               "  --smp               SMP client's files: name Gromacs, the project in the tag\n"
               "  --wait-for-log FILE after each new unit, wait (at most 30 s) until the\n"
               "                      monitor's log FILE has a new \"Beginning process\" line\n",
               to);
}

std::optional<long long> parseNumber(std::string_view text, long long min, long long max) {
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::size_t> findProject(long long number) {
    for (std::size_t i = 0; i < kProjects.size(); ++i) {
        if (kProjects[i].number == number) {
            return i;
        }
    }
    return std::nullopt;
}

// Returns the options, or the exit code when the program should end at once.
std::optional<Options> parseArguments(int argc, char** argv, int& exitCode) {
    Options options;
    bool haveFolder = false;
    exitCode = 2;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            printUsage(stdout);
            exitCode = 0;
            return std::nullopt;
        }
        if (arg == "--once") {
            options.once = true;
            continue;
        }
        if (arg == "--lf") {
            options.crlf = false;
            continue;
        }
        if (arg == "--smp") {
            options.smp = true;
            continue;
        }
        if (arg == "--wait-for-log") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fputs("client_simulator: --wait-for-log needs a file\n", stderr);
                return std::nullopt;
            }
            options.waitForLog = fs::path(argv[++i]);
            continue;
        }
        if (arg == "--period-ms" || arg == "--steps-per-unit" || arg == "--units" ||
            arg == "--start-project") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "client_simulator: %s needs a value\n", argv[i]);
                return std::nullopt;
            }
            const std::string_view value = argv[++i];
            std::optional<long long> number;
            if (arg == "--period-ms") {
                number = parseNumber(value, 1, 86'400'000);
                options.periodMs = number.value_or(0);
            } else if (arg == "--steps-per-unit") {
                number = parseNumber(value, 1, 100);
                options.stepsPerUnit = number.value_or(0);
            } else if (arg == "--units") {
                number = parseNumber(value, 1, 1'000'000);
                options.units = number.value_or(0);
            } else {
                number = parseNumber(value, 1, 99'999);
                if (number) {
                    const std::optional<std::size_t> index = findProject(*number);
                    if (!index) {
                        std::fputs("client_simulator: unknown project; known:", stderr);
                        for (const Project& project : kProjects) {
                            std::fprintf(stderr, " %d", project.number);
                        }
                        std::fputc('\n', stderr);
                        return std::nullopt;
                    }
                    options.firstProject = *index;
                }
            }
            if (!number) {
                std::fprintf(stderr, "client_simulator: bad value for %s: '%s'\n", argv[i - 1],
                             argv[i]);
                return std::nullopt;
            }
            continue;
        }
        if (!arg.empty() && arg.front() == '-') {
            std::fprintf(stderr, "client_simulator: unknown option '%s'\n", argv[i]);
            printUsage(stderr);
            return std::nullopt;
        }
        if (haveFolder) {
            std::fputs("client_simulator: only one client folder may be given\n", stderr);
            return std::nullopt;
        }
        options.folder = fs::path(arg);
        haveFolder = true;
    }
    if (!haveFolder) {
        printUsage(stderr);
        return std::nullopt;
    }
    return options;
}

// Local time in the client's layout, "November 26 01:30:40": English month, day without padding.
std::string clientTime(std::time_t when) {
    std::tm parts{};
#ifdef _WIN32
    const bool converted = localtime_s(&parts, &when) == 0;
#else
    const bool converted = localtime_r(&when, &parts) != nullptr;
#endif
    if (!converted || parts.tm_mon < 0 || parts.tm_mon >= static_cast<int>(kMonths.size())) {
        parts = std::tm{};
        parts.tm_mday = 1;
    }
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", std::clamp(parts.tm_hour, 0, 99),
                  std::clamp(parts.tm_min, 0, 99), std::clamp(parts.tm_sec, 0, 99));
    std::ostringstream text;
    text << kMonths[static_cast<std::size_t>(parts.tm_mon)] << ' ' << parts.tm_mday << ' ' << clock;
    return text.str();
}

// The tag of an SMP unit: project, run, clone and generation. The generation is the unit's
// number, so no two units of a run share a tag.
std::string smpTag(const Project& project, long long unitNumber) {
    std::ostringstream tag;
    tag << 'P' << project.number << 'R' << unitNumber % 20 << 'C' << unitNumber * 7 % 100 << 'G'
        << unitNumber;
    return tag.str();
}

std::string unitFileText(const Project& project, std::string_view name, std::string_view tag,
                         std::time_t downloaded, int progress, std::string_view eol) {
    const auto deadlineSeconds =
        static_cast<std::time_t>(project.finalDeadlineDays * 86400.0 + 0.5);
    const int filled = std::clamp(progress / 10, 0, kBarWidth);
    std::ostringstream text;
    text << "Current Work Unit" << eol << "-----------------" << eol << "Name: " << name << eol
         << "Tag: " << tag << eol << "Download time: " << clientTime(downloaded) << eol
         << "Due time: " << clientTime(downloaded + deadlineSeconds) << eol
         << "Progress: " << progress << "%  [" << std::string(static_cast<std::size_t>(filled), '|')
         << std::string(static_cast<std::size_t>(kBarWidth - filled), '_') << ']' << eol;
    return text.str();
}

// The client's configuration in the layout of a v6 client; lines end with eol when written.
constexpr std::string_view kClientConfig = "[settings]\n"
                                           "username=DemoFolder\n"
                                           "team=1234567\n"
                                           "passkey=\n"
                                           "asknet=no\n"
                                           "machineid=2\n"
                                           "bigpackets=normal\n"
                                           "local=251\n"
                                           "\n"
                                           "[http]\n"
                                           "active=no\n"
                                           "host=localhost\n"
                                           "port=8080\n"
                                           "usereg=no\n"
                                           "\n"
                                           "[clienttype]\n"
                                           "memory=2048\n"
                                           "type=0\n"
                                           "\n"
                                           "[core]\n"
                                           "checkpoint=15\n";

std::string withLineEnds(std::string_view text, std::string_view eol) {
    std::string result;
    for (char c : text) {
        if (c == '\n') {
            result.append(eol);
        } else {
            result.push_back(c);
        }
    }
    return result;
}

// Writes content to a temporary file beside target and renames it over target.
bool replaceFile(const fs::path& target, const std::string& content) {
    fs::path temporary = target;
    temporary += ".tmp";
    std::error_code ignored;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(content.data(), static_cast<std::streamsize>(content.size()));
            out.close();
        }
        if (!out) {
            std::fprintf(stderr, "client_simulator: cannot write %s\n", temporary.string().c_str());
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    for (int attempt = 0; attempt < kRenameAttempts; ++attempt) {
        fs::rename(temporary, target, error);
        if (!error) {
            return true;
        }
        std::this_thread::sleep_for(kRenameRetryDelay);
    }
    std::fprintf(stderr, "client_simulator: cannot replace %s: %s\n", target.string().c_str(),
                 error.message().c_str());
    fs::remove(temporary, ignored);
    return false;
}

// Size of the file now, 0 when it does not exist (yet).
std::uintmax_t fileSize(const fs::path& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

// True once the text appended to the log after offset holds a whole line that begins a unit.
bool logShowsNewUnit(const fs::path& log, std::uintmax_t offset) {
    std::ifstream in(log, std::ios::binary);
    if (!in.seekg(static_cast<std::streamoff>(offset))) {
        return false;
    }
    std::string line;
    while (std::getline(in, line) && !in.eof()) { // eof: a last line still being written
        if (line.starts_with(kUnitBeginsEntry)) {
            return true;
        }
    }
    return false;
}

enum class LogWait { Seen, Stopped, TimedOut };

LogWait awaitNewUnitInLog(const fs::path& log, std::uintmax_t offset) {
    const Clock::time_point limit = Clock::now() + kLogWaitLimit;
    while (stopRequested == 0) {
        if (logShowsNewUnit(log, offset)) {
            return LogWait::Seen;
        }
        if (Clock::now() >= limit) {
            return LogWait::TimedOut;
        }
        std::this_thread::sleep_for(kLogPollInterval);
    }
    return LogWait::Stopped;
}

// Sleeps until the deadline in short slices; false when a stop was requested meanwhile.
bool sleepUntil(Clock::time_point deadline) {
    while (stopRequested == 0) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            return true;
        }
        std::this_thread::sleep_for(
            std::min<Clock::duration>(deadline - now, Clock::duration(kSleepSlice)));
    }
    return false;
}

int run(const Options& options) {
    std::error_code error;
    fs::create_directories(options.folder, error);
    if (error || !fs::is_directory(options.folder, error)) {
        std::fprintf(stderr, "client_simulator: cannot use folder %s\n",
                     options.folder.string().c_str());
        return 1;
    }
    const std::string_view eol = options.crlf ? "\r\n" : "\n";

    // The client's own configuration may hold a real passkey: never overwrite it.
    const fs::path configPath = options.folder / "client.cfg";
    if (!fs::exists(configPath, error) &&
        !replaceFile(configPath, withLineEnds(kClientConfig, eol))) {
        return 1;
    }

    const fs::path unitPath = options.folder / "unitinfo.txt";
    const milliseconds period{options.periodMs};
    std::size_t projectIndex = options.firstProject;
    long long unitNumber = 1;
    long long step = 0;
    long long completed = 0;
    std::time_t downloaded = std::time(nullptr);
    Clock::time_point nextWrite = Clock::now();

    while (stopRequested == 0) {
        const Project& project = kProjects[projectIndex];
        const int progress = static_cast<int>(step * 100 / options.stepsPerUnit);
        const std::string_view name = options.smp ? kSmpName : project.name;
        const std::string tag = options.smp ? smpTag(project, unitNumber) : "-";
        // Only a change of unit is logged; the first unit of the run is the one already there.
        const bool awaitMonitor = !options.waitForLog.empty() && step == 0 && unitNumber > 1;
        const std::uintmax_t logOffset = awaitMonitor ? fileSize(options.waitForLog) : 0;
        if (!replaceFile(unitPath, unitFileText(project, name, tag, downloaded, progress, eol))) {
            return 1;
        }
        std::printf("unit %lld %.*s %d%%%s%s\n", unitNumber, static_cast<int>(name.size()),
                    name.data(), progress, options.smp ? " " : "", options.smp ? tag.c_str() : "");
        std::fflush(stdout);
        if (awaitMonitor) {
            const LogWait seen = awaitNewUnitInLog(options.waitForLog, logOffset);
            if (seen == LogWait::Stopped) {
                break;
            }
            if (seen == LogWait::TimedOut) {
                std::fprintf(stderr, "client_simulator: unit %lld not in %s within %lld s\n",
                             unitNumber, options.waitForLog.string().c_str(),
                             static_cast<long long>(kLogWaitLimit.count() / 1000));
                return 3;
            }
        }

        if (options.once) {
            break;
        }
        if (step == options.stepsPerUnit) {
            ++completed;
            if (options.units > 0 && completed >= options.units) {
                break;
            }
        }

        // Keep a steady cadence, but do not rush to catch up after a stall (e.g. a suspend).
        nextWrite += period;
        const Clock::time_point now = Clock::now();
        if (nextWrite < now) {
            nextWrite = now + period;
        }
        if (!sleepUntil(nextWrite)) {
            break;
        }

        if (step == options.stepsPerUnit) {
            step = 0;
            ++unitNumber;
            projectIndex = (projectIndex + 1) % kProjects.size();
            downloaded = std::time(nullptr);
        } else {
            ++step;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int exitCode = 0;
    const std::optional<Options> options = parseArguments(argc, argv, exitCode);
    if (!options) {
        return exitCode;
    }
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    return run(*options);
}
