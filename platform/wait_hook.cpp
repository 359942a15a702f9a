// The wait hook's registry, the same on every real platform.
#include "platform/wait_hook.hpp"

namespace platform {
namespace {

WaitHook registeredHook = nullptr;
void* registeredContext = nullptr;

} // namespace

void setWaitHook(WaitHook hook, void* context) {
    registeredHook = hook;
    registeredContext = context;
}

void serviceWaitHook() {
    if (registeredHook != nullptr) {
        registeredHook(registeredContext);
    }
}

} // namespace platform
