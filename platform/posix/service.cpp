// Service control through systemd: "systemctl stop|start -- <name>", started
// directly with posix_spawnp and an argument list, so the name stays one
// argument whatever it holds. "--" keeps a name that begins with '-' from
// being read as an option; --no-ask-password keeps systemctl from waiting on
// a password prompt.
#include "platform/service.hpp"

#include "platform/posix/stop_signals.hpp"
#include "platform/stop.hpp"
#include "platform/wait_hook.hpp"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

namespace platform {
namespace {

constexpr long PollSliceNanoseconds = 20L * 1000 * 1000;

// Waits for the child at most timeoutMilliseconds, serving the wait hook
// between slices; its exit status, or -1 when it had to be ended, did not
// exit normally, or a stop request ended the wait. A command left on a stop
// request goes on by itself: a service half stopped or started is worse than
// one left to finish.
int waitWithLimit(pid_t child, int timeoutMilliseconds) {
    long long deadline = posix::monotonicMilliseconds() + timeoutMilliseconds;
    for (;;) {
        int status = 0;
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (done < 0 && errno != EINTR) {
            return -1;
        }
        serviceWaitHook();
        if (stopRequested()) {
            return -1;
        }
        if (posix::monotonicMilliseconds() >= deadline) {
            kill(child, SIGKILL);
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
                // SIGKILL cannot be caught, so this wait ends
            }
            return -1;
        }
        timespec slice{0, PollSliceNanoseconds};
        nanosleep(&slice, nullptr);
    }
}

} // namespace

int runServiceCommand(ServiceAction action, const char* serviceName, int timeoutMilliseconds) {
    if (serviceName == nullptr) {
        return -1;
    }
    char program[] = "systemctl";
    char noPrompt[] = "--no-ask-password";
    char stop[] = "stop";
    char start[] = "start";
    char endOfOptions[] = "--";
    std::string name = serviceName;
    char* argv[] = {program,      noPrompt,    action == ServiceAction::Stop ? stop : start,
                    endOfOptions, name.data(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program, nullptr, nullptr, argv, environ) != 0) {
        return -1;
    }
    return waitWithLimit(child, timeoutMilliseconds);
}

} // namespace platform
