// Input on a watched descriptor raises SIGIO, so that an idle pass of the
// message loop learns that nothing arrived without a system call. Several
// readers share the signal: each keeps the count it last saw.
#pragma once

namespace platform::posix {

// Arms SIGIO for the descriptor; false when it cannot, and the reader must
// then look at its descriptor on every pass.
bool watchInput(int fd);

// How many times input was signalled so far (30 bits, wrapping).
unsigned inputSignals();

// A reader's view of the signal: whether input may have arrived since it
// last looked, which it then takes.
class InputTicket {
public:
    bool takeInput() {
        const unsigned now = inputSignals();
        if (now == seen_) {
            return false;
        }
        seen_ = now;
        return true;
    }

private:
    unsigned seen_ = ~0u; // never a count: the first look always reads
};

} // namespace platform::posix
