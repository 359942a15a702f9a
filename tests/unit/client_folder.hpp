// A temporary client folder for one test: FAH/ with the monitor's own folder
// FAH/vigilon/ as the current directory, removed again afterwards.
#pragma once

#include "monitor/monitor_state.hpp"
#include "platform/fake/fake_client_api.hpp"
#include "platform/fake/fake_network.hpp"
#include "platform/fake/fake_platform.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

class ClientFolder : public ::testing::Test {
protected:
    void SetUp() override {
        fake::reset();
        fake::resetNetwork();
        fake::resetClientApi();
        std::random_device random;
        root_ = std::filesystem::temp_directory_path() /
                ("vigilon-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(root_ / "FAH" / "vigilon");
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(root_ / "FAH" / "vigilon");
    }

    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    // Writes a file relative to the monitor's folder, byte for byte.
    static void write(const std::string& name, const std::string& text) {
        std::ofstream file(name, std::ios::binary | std::ios::trunc);
        file << text;
    }

    static std::string read(const std::string& name) {
        std::ifstream file(name); // text mode: a CR LF line end reads as \n on Windows
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    static bool exists(const std::string& name) { return std::filesystem::exists(name); }

    // A unit file in the client's own layout.
    static void writeUnitFile(const std::string& name, int percent) {
        write("../unitinfo.txt", "Current Work Unit\r\n-----------------\r\nName: " + name +
                                     "\r\nTag: -\r\nDownload time: November 19 05:56:56\r\n"
                                     "Due time: November 29 05:56:56\r\nProgress: " +
                                     std::to_string(percent) + "%  [||________]\r\n");
    }

    // The ctime text of a moment, as the log stamps it.
    static std::string stamp(std::time_t moment) { return std::ctime(&moment); }

    MonitorState state_;

private:
    std::filesystem::path root_;
    std::filesystem::path previous_;
};
