// The setup tool's program: the backend finds its own module instance.
#include "common/start_arguments.hpp"
#include "platform/console.hpp"
#include "setup/setup_tool.hpp"

int main(int argc, char** argv) {
    // --help and --version print and end; any other arguments are ignored.
    if (const char* text = startArgumentText(Program::Setup, argc, argv)) {
        platform::writeConsoleText(text);
        return 0;
    }
    return runSetupTool(nullptr);
}
