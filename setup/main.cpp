// The setup tool's program: the backend finds its own module instance.
#include "setup/setup_tool.hpp"

int main() {
    return runSetupTool(nullptr);
}
