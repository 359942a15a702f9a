// The Windows backends against the real system (under Wine on a Linux host):
// processor and memory facts, the log's append mode, the thread's message
// queue and the module handle.
#include "platform/host.hpp"
#include "platform/messages.hpp"
#include "platform/process.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

TEST(Win32Host, CpuidMemoryAndModuleFacts) {
    ASSERT_EQ(cpuidAvailable(), 1);
    CpuidResult result;
    std::memset(&result, 0xA5, sizeof result);
    EXPECT_GT(queryCpuid(&result), 0u);
    EXPECT_EQ(result.terminator, 0u);
    EXPECT_EQ(std::strlen(result.vendor), 12u); // twelve characters, then the zero word
    EXPECT_NE(result.signature, 0u);
    EXPECT_GT(platform::physicalMemory(), 0u);
    EXPECT_NE(platform::moduleInstance(), nullptr); // the executable
}

TEST(Win32Host, ProcessorNameIsCutAndTerminated) {
    char name[52];
    std::memset(name, 'x', sizeof name);
    name[0] = '\0';
    std::uint32_t megahertz = 0;
    platform::readProcessorInfo(name, 50, &megahertz);
    EXPECT_LT(std::strlen(name), 50u);
    EXPECT_EQ(name[50], 'x'); // nothing beyond the given size is written

    char shortName[6];
    std::memset(shortName, 'x', sizeof shortName);
    platform::readProcessorInfo(shortName, 5, &megahertz);
    EXPECT_EQ(shortName[5], 'x');
    if (name[0] != '\0') {
        EXPECT_EQ(std::string(shortName, 4), std::string(name, 4));
        EXPECT_EQ(shortName[4], '\0');
    }
}

TEST(Win32Process, LogAppendsInTextModeWithCrLf) {
    ASSERT_STREQ(platform::appendTextMode(), "at");
    std::random_device random;
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("vigilon-append-" + std::to_string(random()) + ".txt");
    std::filesystem::remove(path);
    for (int i = 0; i < 2; ++i) {
        std::FILE* file = std::fopen(path.string().c_str(), platform::appendTextMode());
        ASSERT_NE(file, nullptr);
        std::fprintf(file, "line %d\n", i);
        std::fclose(file);
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    std::filesystem::remove(path);
    EXPECT_EQ(bytes, "line 0\r\nline 1\r\n");
}

TEST(Win32Messages, PostedQuitComesBackWithItsCode) {
    platform::Message message;
    while (platform::takeMessage(message) && !message.isQuit) {
        platform::dispatchMessage(message); // whatever the runtime queued before
    }
    platform::postQuit(7);
    platform::Message quit;
    ASSERT_TRUE(platform::takeMessage(quit));
    EXPECT_TRUE(quit.isQuit);
    EXPECT_EQ(quit.exitCode, 7);
    platform::Message none;
    EXPECT_FALSE(platform::takeMessage(none));
}
