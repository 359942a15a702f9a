// The thread's message queue, polled without waiting.
#pragma once

namespace platform {

struct Message {
    bool isQuit = false; // the quit request; exitCode holds its code
    int exitCode = 0;
    alignas(8) unsigned char native[64] = {}; // the platform's own record
};

// Takes one message from the queue without waiting; false when it is empty.
bool takeMessage(Message& message);

// Takes one message like takeMessage, but never the quit request: false
// when the queue is empty or when a stop request or the quit request waits,
// which stays for takeMessage. For the window's service during a wait.
bool takeWindowMessage(Message& message);

// Translates and dispatches a message that is not the quit request.
void dispatchMessage(Message& message);

// Posts the quit request with an exit code; stopRequested() is true until
// it is taken.
void postQuit(int exitCode);

} // namespace platform
