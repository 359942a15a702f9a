// The service backend starting the platform's service tool. Where the tool
// is found on the search path (POSIX), a stub put first on the path stands
// in for it: it writes each argument on a line of its own and behaves by the
// service name: "slow" sleeps for 30 s, "failing" exits with 5, any other
// name exits with 0.
#include "loopback_peer.hpp"
#include "platform/service.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
using platform::ServiceAction;

class ServiceCommand : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        folder_ = fs::temp_directory_path() /
                  ("vigilon-service-" + std::to_string(random()) + std::to_string(random()));
        fs::create_directories(folder_);
        arguments_ = (folder_ / "arguments.txt").string();
#if !defined(_WIN32)
        const std::string stub = (folder_ / "systemctl").string();
        std::ofstream(stub)
            << "#!/bin/sh\n: > '" << arguments_ << "'\nfor a in \"$@\"; do\n"
            << "    printf '%s\\n' \"$a\" >> '" << arguments_ << "'; name=$a\n"
            << "done\ncase $name in slow) exec sleep 30 ;; failing) exit 5 ;; esac\n";
        const char* path = std::getenv("PATH");
        savedPath_ = path != nullptr ? path : "/usr/bin:/bin";
        stubbed_ = chmod(stub.c_str(), 0755) == 0 &&
                   setenv("PATH", (folder_.string() + ":" + savedPath_).c_str(), 1) == 0;
#endif
    }

    void TearDown() override {
#if !defined(_WIN32)
        setenv("PATH", savedPath_.c_str(), 1);
#endif
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    std::vector<std::string> argumentsSeen() const {
        std::ifstream in(arguments_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    fs::path folder_;
    std::string arguments_;
    std::string savedPath_;
    bool stubbed_ = false;
};

TEST_F(ServiceCommand, TheNameIsOneArgumentWhateverItHoldsAndTheExitStatusIsReturned) {
    if (!stubbed_) {
        GTEST_SKIP() << "the service tool is found by full path here";
    }
    const std::string name = "FAH@C:\\FAH dir\\x.exe; rm -rf $HOME `id` & 'q'";
    EXPECT_EQ(platform::runServiceCommand(ServiceAction::Stop, name.c_str(), 20000), 0);
    EXPECT_EQ(argumentsSeen(), (std::vector<std::string>{"--no-ask-password", "stop", "--", name}));
    EXPECT_EQ(platform::runServiceCommand(ServiceAction::Start, "-H", 20000), 0);
    EXPECT_EQ(argumentsSeen(),
              (std::vector<std::string>{"--no-ask-password", "start", "--", "-H"}));
    EXPECT_EQ(platform::runServiceCommand(ServiceAction::Start, "failing", 20000), 5);
}

TEST_F(ServiceCommand, ACommandThatOverrunsItsLimitIsEnded) {
    if (!stubbed_) {
        GTEST_SKIP() << "the service tool is found by full path here";
    }
    long long start = loopback::steadyMilliseconds();
    EXPECT_EQ(platform::runServiceCommand(ServiceAction::Stop, "slow", 500), -1);
    long long took = loopback::steadyMilliseconds() - start;
    EXPECT_GE(took, 450);
    EXPECT_LT(took, 5000);
}

TEST_F(ServiceCommand, AnUnknownServiceIsReportedByTheTool) {
    if (stubbed_) {
        GTEST_SKIP() << "only the platform's own tool knows its services";
    }
    int result = platform::runServiceCommand(ServiceAction::Stop, "VigilonNoSuchService", 60000);
    EXPECT_NE(result, 0);
    EXPECT_NE(result, -1); // the tool ran and answered
}

} // namespace
