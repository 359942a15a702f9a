// The settings file "vigilon.ini" as both programs read it: the monitor's
// reader, then the setup tool opening it, saving it and reading its own file
// back. Pieces: the file, the setup tool's current directory (from which it
// derives the default service name).
#include "common/settings_file.hpp"
#include "fuzz_input.hpp"
#include "monitor/settings.hpp"
#include "setup/setup_tool.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::freshRun();
    std::vector<std::string> piece = fuzz::pieces(data, size, 2);
    fuzz::writeFile(SettingsFileName, piece[0]);
    MonitorState state;
    fuzz::require(readSettings(state) == 1, "the monitor reads the file");
    fuzz::requireTerminatedText(state);

    fake::setupDialog().currentDirectory = piece[1];
    fake::setupDialog().events = {platform::DialogEvent::Save};
    fuzz::require(runSetupTool(nullptr) == 1, "the setup tool saves");
    SetupSettings saved;
    fuzz::require(readSetupSettings(saved) == 1, "the saved file is read");
    fuzz::require(fuzz::terminated(saved.serverAddress) && fuzz::terminated(saved.serviceName) &&
                      fuzz::terminated(saved.userName),
                  "the setup tool's text is terminated");
    return 0;
}
