#include "common/companion_protocol.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// A message holding the record "rec" (zero byte at 3), the rest filled with
// 'x' so that any byte written beyond the extension shows.
constexpr std::size_t RecordEnd = 3;

std::vector<char> recordMessage(std::size_t size) {
    std::vector<char> message(size, 'x');
    message[0] = 'r';
    message[1] = 'e';
    message[2] = 'c';
    message[RecordEnd] = '\0';
    return message;
}

companion::Extension apiExtension() {
    companion::Extension ext;
    ext.fromApi = true;
    ext.obeysControl = true;
    ext.state = "RUN";
    ext.paused = true;
    ext.etaSeconds = 5400;
    ext.ppd = 123456;
    ext.prcg = "18213/0/12/34";
    return ext;
}

companion::Extension fileExtension() {
    companion::Extension ext = apiExtension(); // the client's figures are not sent
    ext.fromApi = false;
    return ext;
}

companion::Extension withState(std::string state) {
    companion::Extension ext = apiExtension();
    ext.state = std::move(state);
    return ext;
}

const std::string FullApi =
    "VGX1 source=api ctl=1 state=RUN paused=1 eta=5400 ppd=123456 prcg=18213/0/12/34";

struct WriteCase {
    const char* name;
    companion::Extension ext;
    std::size_t size;     // of the message
    std::string expected; // the extension without its zero byte; empty: nothing written
};

} // namespace

TEST(CompanionProtocol, WritesTheExtensionWithinTheMessage) {
    const WriteCase cases[] = {
        {"file source", fileExtension(), 2048, "VGX1 source=file ctl=1"},
        {"api source", apiExtension(), 2048, FullApi},
        {"text sanitised", withState("UP LOAD=\x01"), 2048,
         "VGX1 source=api ctl=1 state=UP_LOAD__ paused=1 eta=5400 ppd=123456 prcg=18213/0/12/34"},
        // 60 bytes after the record: 28 before the state, 31 of it, the zero byte.
        {"long state cut to fit", withState(std::string(3000, 'S')), 64,
         "VGX1 source=api ctl=1 state=" + std::string(31, 'S')},
        {"a whole pair without room left out", apiExtension(), RecordEnd + 1 + 23,
         "VGX1 source=api ctl=1"},
        {"marker alone at the end", apiExtension(), RecordEnd + 1 + 5, "VGX1"},
        {"no room for the marker", apiExtension(), RecordEnd + 1 + 4, ""},
        {"record fills the message", apiExtension(), RecordEnd + 1, ""},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<char> message = recordMessage(c.size);
        std::size_t written = companion::writeExtension(message.data(), c.size, RecordEnd, c.ext);
        std::vector<char> expected = recordMessage(c.size);
        if (!c.expected.empty()) {
            std::copy(c.expected.begin(), c.expected.end(), expected.begin() + RecordEnd + 1);
            expected[RecordEnd + 1 + c.expected.size()] = '\0';
        }
        EXPECT_EQ(written, c.expected.empty() ? 0 : c.expected.size() + 1);
        EXPECT_EQ(std::string(message.begin(), message.end()),
                  std::string(expected.begin(), expected.end()));
    }
}

namespace {
struct ReadCase {
    const char* name;
    std::string afterRecord; // the bytes after the record's zero byte, to the message's end
    bool present;
    bool fromApi;
    bool ctl;
    const char* state;
    bool paused;
    long long eta;
    long long ppd;
    const char* prcg;
};
} // namespace

TEST(CompanionProtocol, ReadsOnlyAWellFormedExtension) {
    const ReadCase cases[] = {
        {"api source", FullApi + "\0rest"s, true, true, true, "RUN", true, 5400, 123456,
         "18213/0/12/34"},
        {"file source", "VGX1 source=file ctl=0\0"s, true, false, false, "", false, -1, 0, ""},
        {"marker alone", "VGX1\0"s, true, false, false, "", false, -1, 0, ""},
        {"marker absent", std::string(40, '\0'), false, false, false, "", false, -1, 0, ""},
        {"garbage after the zero byte", "ion server ready\0"s, false, false, false, "", false, -1,
         0, ""},
        {"marker not right after the record", " VGX1 ctl=1\0"s, false, false, false, "", false, -1,
         0, ""},
        {"longer marker", "VGX12 ctl=1\0"s, false, false, false, "", false, -1, 0, ""},
        {"no zero byte before the end", "VGX1 source=api ctl=1", false, false, false, "", false, -1,
         0, ""},
        {"malformed pairs skipped",
         "VGX1 source=web ctl=2  eta=9x ppd=-5 prcg=1/2/3 state= =x junk k=v=w next=7 paused=1\0"s,
         true, false, false, "", true, -1, 0, ""},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string message = "rec\0"s + c.afterRecord;
        companion::Extension ext = companion::readExtension(message.data(), message.size(), 3);
        EXPECT_EQ(ext.present, c.present);
        EXPECT_EQ(ext.fromApi, c.fromApi);
        EXPECT_EQ(ext.obeysControl, c.ctl);
        EXPECT_EQ(ext.state, c.state);
        EXPECT_EQ(ext.paused, c.paused);
        EXPECT_EQ(ext.etaSeconds, c.eta);
        EXPECT_EQ(ext.ppd, c.ppd);
        EXPECT_EQ(ext.prcg, c.prcg);
    }
}

TEST(CompanionProtocol, ReadsNothingBeyondTheMessage) {
    const std::string message = "rec\0VGX1 ctl=1\0"s;
    EXPECT_FALSE(companion::readExtension(message.data(), 3, 3).present);
    EXPECT_FALSE(companion::readExtension(message.data(), 10, 3).present); // cut before its zero
    EXPECT_FALSE(companion::readExtension(message.data(), message.size(), 2).present);
}
