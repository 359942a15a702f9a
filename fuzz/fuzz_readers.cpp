// Fuzz target for every reader of outside input: the settings file, the
// client's configuration and unit file, and the protein database. The first
// byte picks the reader; the rest becomes the file it reads.
#include "common/settings_file.hpp"
#include "monitor/client_config.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/protein_database.hpp"
#include "monitor/settings.hpp"
#include "monitor/unit_tracker.hpp"
#include "platform/fake/fake_platform.hpp"

#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace {

void writeFile(const char* name, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(name, "wb");
    if (file != nullptr) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
}

struct Folder {
    Folder() {
        auto root = std::filesystem::temp_directory_path() / "vigilon-fuzz" / "FAH" / "vigilon";
        std::filesystem::create_directories(root);
        std::filesystem::current_path(root);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Folder folder;
    if (size == 0) {
        return 0;
    }
    static MonitorState state;
    state = MonitorState{};
    fake::reset();
    const std::uint8_t* body = data + 1;
    std::size_t length = size - 1;
    switch (data[0] % 5) {
    case 0:
        writeFile("vigilon.ini", body, length);
        readSettings(state);
        break;
    case 1: {
        writeFile("vigilon.ini", body, length);
        SetupSettings setup;
        readSetupSettings(setup);
        break;
    }
    case 2:
        writeFile("../client.cfg", body, length);
        readClientConfig(state);
        break;
    case 3:
        writeFile("../unitinfo.txt", body, length);
        state.firstRun = 0;
        state.logEnabled = 1;
        pollUnitFile(state);
        pollUnitFile(state);
        break;
    default:
        writeFile("database.txt", body, length);
        lookupProtein(state);
        break;
    }
    return 0;
}
