// What the fuzz targets share: the input cut into the pieces a target hands
// to the program (files, replies, headers), a private client folder, a fresh
// fake platform for every input, and the properties every reader must keep.
#pragma once

#include "monitor/monitor_state.hpp"
#include "platform/fake/fake_network.hpp"
#include "platform/fake/fake_platform.hpp"
#include "platform/fake/fake_setup_dialog.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace fuzz {

// Separates the pieces of one input (the ASCII record separator).
inline constexpr char PieceSeparator = '\x1e';

// The input cut at every separator, padded with empty pieces to at least count.
inline std::vector<std::string> pieces(const std::uint8_t* data, std::size_t size,
                                       std::size_t count) {
    std::vector<std::string> cut;
    std::string text(reinterpret_cast<const char*>(data), size);
    for (std::size_t at = 0; size > 0 && at <= text.size();) {
        std::size_t stop = std::min(text.find(PieceSeparator, at), text.size());
        cut.push_back(text.substr(at, stop - at));
        at = stop + 1;
    }
    cut.resize(std::max(cut.size(), count));
    return cut;
}

inline void writeFile(const char* name, const std::string& bytes) {
    if (std::FILE* file = std::fopen(name, "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

inline std::string readFile(const char* name) {
    std::ifstream file(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Starts one input in the process's own client folder (FAH/vigilon/ as the
// current directory), with none of the last input's files and a fresh fake
// platform, so every input runs alike.
inline void freshRun() {
    static const bool entered = [] {
        auto folder = std::filesystem::temp_directory_path() /
                      ("vigilon-fuzz-" + std::to_string(getpid())) / "FAH" / "vigilon";
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
        return true;
    }();
    (void)entered;
    for (const char* name : {"vigilon.ini", "vigilon.ini.new", "../client.cfg", "../unitinfo.txt",
                             "database.txt", "vigilon_log.txt", "Vantor.html"}) {
        std::remove(name);
    }
    fake::reset();
    fake::resetNetwork();
    fake::resetSetupDialog();
}

// A failed property ends the run like a crash, so the fuzzer keeps the input.
inline void require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property failed: %s\n", property);
        std::abort();
    }
}

template <std::size_t N> bool terminated(const char (&field)[N]) {
    return std::memchr(field, '\0', N) != nullptr;
}

// Every text field of the record ends within its array.
inline void requireTerminatedText(const MonitorState& s) {
    bool all = terminated(s.serviceName) && terminated(s.serverAddress) && terminated(s.unitName) &&
               terminated(s.previousUnitName) && terminated(s.unitTag) && terminated(s.coreName) &&
               terminated(s.userName) && terminated(s.cpuVendor) && terminated(s.cpuName) &&
               terminated(s.lineBuffer) && terminated(s.statsUrl) && terminated(s.trayIcon.tip);
    require(all, "every text field is terminated");
}

// A statistics URL whose values cannot end their keys or add others: only
// visible ASCII, and the ten '&' between its eleven keys.
inline void requireCleanUrl(const std::string& url) {
    bool visible = std::all_of(url.begin(), url.end(), [](char c) { return c > ' ' && c < 0x7f; });
    require(visible && std::count(url.begin(), url.end(), '&') == 10,
            "the statistics URL keeps its keys");
}

} // namespace fuzz
