#include "common/companion_protocol.hpp"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace std::string_literals;

namespace {

constexpr std::size_t RecordEnd = 3; // the record "rec" and its zero byte

// The monitor's view of a unit of today's client; fromApi false sends none of it.
companion::Extension sent(std::string state = "RUN", bool fromApi = true) {
    return {false, fromApi, true, std::move(state), true, 5400, 123456, "18213/0/12/34"};
}

const std::string FullApi =
    "VGX1 source=api ctl=1 state=RUN paused=1 eta=5400 ppd=123456 prcg=18213/0/12/34";

} // namespace

TEST(CompanionProtocol, WritesTheExtensionWithinTheMessage) {
    // The message's size, and the extension written without its zero byte (empty: nothing).
    const std::tuple<const char*, companion::Extension, std::size_t, std::string> cases[] = {
        {"file source", sent("RUN", false), 2048, "VGX1 source=file ctl=1"},
        {"api source", sent(), 2048, FullApi},
        {"text sanitised", sent("UP LOAD=\x01"), 2048,
         "VGX1 source=api ctl=1 state=UP_LOAD__ paused=1 eta=5400 ppd=123456 prcg=18213/0/12/34"},
        // 60 bytes after the record: 28 before the state, 31 of it, the zero byte.
        {"long state cut to fit", sent(std::string(3000, 'S')), 64,
         "VGX1 source=api ctl=1 state=" + std::string(31, 'S')},
        {"a whole pair without room left out", sent(), RecordEnd + 1 + 23, "VGX1 source=api ctl=1"},
        {"marker alone at the end", sent(), RecordEnd + 1 + 5, "VGX1"},
        {"no room for the marker", sent(), RecordEnd + 1 + 4, ""},
        {"record fills the message", sent(), RecordEnd + 1, ""},
    };
    for (const auto& [name, ext, size, written] : cases) {
        SCOPED_TRACE(name);
        // The rest is filled with 'x', so that any byte written beyond the extension shows.
        std::string message = "rec\0"s + std::string(size - RecordEnd - 1, 'x');
        std::string expected = "rec\0"s + written + (written.empty() ? "" : "\0"s);
        expected.resize(size, 'x');
        EXPECT_EQ(companion::writeExtension(message.data(), size, RecordEnd, ext),
                  written.empty() ? 0 : written.size() + 1);
        EXPECT_EQ(message, expected);
    }
}

TEST(CompanionProtocol, ReadsOnlyAWellFormedExtension) {
    const companion::Extension absent;
    // The bytes after the record's zero byte, to the message's end, and what is read.
    const std::tuple<const char*, std::string, companion::Extension> cases[] = {
        {"api source",
         FullApi + "\0rest"s,
         {true, true, true, "RUN", true, 5400, 123456, "18213/0/12/34"}},
        {"file source", "VGX1 source=file ctl=1\0"s, {true, false, true, "", false, -1, 0, ""}},
        {"marker alone", "VGX1\0"s, {true, false, false, "", false, -1, 0, ""}},
        {"marker absent", std::string(40, '\0'), absent},
        {"garbage after the zero byte", "ion server ready\0"s, absent},
        {"marker not right after the record", " VGX1 ctl=1\0"s, absent},
        {"longer marker", "VGX12 ctl=1\0"s, absent},
        {"no zero byte before the end", "VGX1 source=api ctl=1", absent},
        {"malformed pairs skipped",
         "VGX1 source=web ctl=2  eta=9x ppd=-5 prcg=1/2/3 state= =x junk k=v=w next=7 paused=1\0"s,
         {true, false, false, "", true, -1, 0, ""}},
    };
    auto fields = [](const companion::Extension& e) {
        return std::tie(e.present, e.fromApi, e.obeysControl, e.state, e.paused, e.etaSeconds,
                        e.ppd, e.prcg);
    };
    for (const auto& [name, afterRecord, read] : cases) {
        SCOPED_TRACE(name);
        std::string message = "rec\0"s + afterRecord;
        EXPECT_EQ(fields(companion::readExtension(message.data(), message.size(), RecordEnd)),
                  fields(read));
    }
}

TEST(CompanionProtocol, ReadsNothingBeyondTheMessage) {
    const std::string message = "rec\0VGX1 ctl=1\0"s;
    EXPECT_FALSE(companion::readExtension(message.data(), 3, 3).present);
    EXPECT_FALSE(companion::readExtension(message.data(), 10, 3).present); // cut before its zero
    EXPECT_FALSE(companion::readExtension(message.data(), message.size(), 2).present);
}
