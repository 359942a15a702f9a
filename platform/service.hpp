// Control of the Folding@home client's service by name. The platform's own
// service tool is started directly as a process with an argument list, never
// through a command interpreter.
#pragma once

namespace platform {

enum class ServiceAction { Stop, Start };

// Runs the platform's command that stops or starts the named service and
// waits for it at most timeoutMilliseconds; a command still running then is
// ended. Returns the command's exit status, or -1 when it could not be
// started or had to be ended.
int runServiceCommand(ServiceAction action, const char* serviceName, int timeoutMilliseconds);

} // namespace platform
