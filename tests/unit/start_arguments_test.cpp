#include "common/start_arguments.hpp"

#include "vigilon_version.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace {

std::string textFor(Program program, std::initializer_list<const char*> args) {
    std::vector<const char*> argv{"vigilon"};
    argv.insert(argv.end(), args);
    const char* text = startArgumentText(program, static_cast<int>(argv.size()), argv.data());
    return text == nullptr ? "(run)" : text;
}

} // namespace

// Only --help or --version as the first argument asks for a text; every
// other start runs, its arguments ignored as always.
TEST(StartArguments, OtherStartsRun) {
    for (Program program : {Program::Monitor, Program::Setup}) {
        EXPECT_EQ(textFor(program, {}), "(run)");
        EXPECT_EQ(textFor(program, {"-help"}), "(run)");
        EXPECT_EQ(textFor(program, {"--helpme"}), "(run)");
        EXPECT_EQ(textFor(program, {"/?"}), "(run)");
        EXPECT_EQ(textFor(program, {"x", "--help"}), "(run)");
    }
    EXPECT_EQ(startArgumentText(Program::Monitor, 1, nullptr), nullptr);
}

TEST(StartArguments, HelpAndVersion) {
    EXPECT_EQ(textFor(Program::Monitor, {"--version", "x"}), "vigilon " VIGILON_VERSION "\n");
    EXPECT_EQ(textFor(Program::Setup, {"--version"}), "vigilon_config " VIGILON_VERSION "\n");
    EXPECT_EQ(textFor(Program::Setup, {"--help"}).rfind("usage: vigilon_config ", 0), 0u);
    const std::string help = textFor(Program::Monitor, {"--help", "--version"});
    EXPECT_EQ(help.rfind("usage: vigilon ", 0), 0u);
    // Every file and every key of vigilon.ini, each on a line of its own.
    for (const char* word : {"vigilon.ini", "vigilon_log.txt", "database.txt", "../unitinfo.txt",
                             "../client.cfg", "delay", "cpunum", "ontop", "fhlog", "quiet", "stats",
                             "ipadd", "servc", "spath", "vant!", "nowin", "clapi", "clgrp"}) {
        EXPECT_NE(help.find("\n  " + std::string(word) + " "), std::string::npos) << word;
    }
}
