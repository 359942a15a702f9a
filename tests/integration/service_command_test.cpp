// The service backend starting the platform's service tool.
#include "loopback_peer.hpp"
#include "platform/service.hpp"
#include "service_stub.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class ServiceCommand : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        folder_ = fs::temp_directory_path() /
                  ("vigilon-service-" + std::to_string(random()) + std::to_string(random()));
        fs::create_directories(folder_);
        arguments_ = (folder_ / "arguments.txt").string();
        stubbed_ = servicestub::install(folder_.string(), arguments_);
    }

    void TearDown() override {
        servicestub::remove();
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
    bool stubbed_ = false;
};

TEST_F(ServiceCommand, TheNameIsOneArgumentWhateverItHolds) {
    if (!stubbed_) {
        GTEST_SKIP() << "the service tool is found by full path here";
    }
    const std::string name = "FAH@C:\\FAH dir\\x.exe; rm -rf $HOME `id` & 'q'";
    EXPECT_EQ(platform::runServiceCommand(platform::ServiceAction::Stop, name.c_str(), 20000), 0);
    EXPECT_EQ(argumentsSeen(), (std::vector<std::string>{"--no-ask-password", "stop", "--", name}));
    EXPECT_EQ(platform::runServiceCommand(platform::ServiceAction::Start, "-H", 20000), 0);
    EXPECT_EQ(argumentsSeen(),
              (std::vector<std::string>{"--no-ask-password", "start", "--", "-H"}));
}

TEST_F(ServiceCommand, TheExitStatusIsReturned) {
    if (!stubbed_) {
        GTEST_SKIP() << "the service tool is found by full path here";
    }
    EXPECT_EQ(platform::runServiceCommand(platform::ServiceAction::Start, "failing", 20000), 5);
}

TEST_F(ServiceCommand, ACommandThatOverrunsItsLimitIsEnded) {
    if (!stubbed_) {
        GTEST_SKIP() << "the service tool is found by full path here";
    }
    long long start = loopback::steadyMilliseconds();
    EXPECT_EQ(platform::runServiceCommand(platform::ServiceAction::Stop, "slow", 500), -1);
    long long took = loopback::steadyMilliseconds() - start;
    EXPECT_GE(took, 450);
    EXPECT_LT(took, 5000);
}

TEST_F(ServiceCommand, AnUnknownServiceIsReportedByTheTool) {
    if (stubbed_) {
        GTEST_SKIP() << "only the platform's own tool knows its services";
    }
    int result =
        platform::runServiceCommand(platform::ServiceAction::Stop, "VigilonNoSuchService", 60000);
    EXPECT_NE(result, 0);
    EXPECT_NE(result, -1); // the tool ran and answered
}

} // namespace
