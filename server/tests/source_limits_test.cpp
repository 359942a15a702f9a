#include "machine_registry.hpp"
#include "source_limits.hpp"

#include <gtest/gtest.h>

namespace {

TEST(SourceLimitsTest, AllowListRanges) {
    struct Case {
        const char* list; // nullptr: no --allow
        const char* address;
        bool allowed;
    };
    const Case cases[] = {
        {nullptr, "203.0.113.9", true},
        {"127.0.0.1/32", "127.0.0.1", true},
        {"127.0.0.1/32", "127.0.0.2", false},
        {"127.0.0.1", "127.0.0.1", true}, // an address alone is /32
        {"192.168.1.0/24", "192.168.1.255", true},
        {"192.168.1.0/24", "192.168.2.1", false},
        {"192.168.1.77/24", "192.168.1.3", true}, // bits past the prefix are ignored
        {"10.0.0.0/9", "10.127.255.255", true},
        {"10.0.0.0/9", "10.128.0.0", false},
        {"0.0.0.0/0", "8.8.8.8", true},
        {"0.0.0.0/0", "::1", false}, // IPv4 ranges do not hold IPv6 addresses
        {"192.168.1.0/24,10.0.0.0/8", "10.1.2.3", true},
        {"127.0.0.0/8", "::ffff:127.0.0.5", true}, // a dual-stack listener's IPv4 peer
        {"::1/128", "::1", true},
        {"::1", "::2", false},
        {"fd00::/8", "fdab:1::7", true},
        {"fd00::/8", "fe80::1", false},
        {"2001:db8::/33", "2001:db8:7fff::1", true},
        {"2001:db8::/33", "2001:db8:8000::1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.list ? c.list : "(anyone)") + " " + c.address);
        AllowList allowed;
        std::string error;
        ASSERT_TRUE(c.list == nullptr || allowed.add(c.list, error)) << error;
        std::optional<IpAddress> address = parseIpAddress(c.address);
        ASSERT_TRUE(address);
        EXPECT_EQ(allowed.allows(*address), c.allowed);
    }
}

TEST(SourceLimitsTest, BadRangesAreRefused) {
    for (const char* bad : {"", "127.0.0.1/33", "127.0.0.1/", "127.0.0.1/-1", "127.0.0.1/8x",
                            "127.0.0/8", "localhost", "::1/129", "10.0.0.0/8,", ",10.0.0.0/8",
                            "10.0.0.0/8,,", "10.0.0.0 /8", "1.2.3.4/+8"}) {
        AllowList allowed;
        std::string error;
        EXPECT_FALSE(allowed.add(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_TRUE(allowed.empty()) << bad; // a bad list adds nothing
    }
}

TEST(SourceLimitsTest, AddressCountsHoldEachAddressWithinItsLimit) {
    AddressCounts counts(2);
    EXPECT_TRUE(counts.add("a"));
    EXPECT_TRUE(counts.add("a"));
    EXPECT_FALSE(counts.add("a"));
    EXPECT_TRUE(counts.add("b"));
    EXPECT_EQ(counts.of("a"), 2u);
    counts.remove("a");
    EXPECT_TRUE(counts.add("a"));
    counts.remove("a");
    counts.remove("a");
    counts.remove("b");
    counts.remove("b"); // more removes than adds count nothing
    EXPECT_EQ(counts.addresses(), 0u);
    EXPECT_FALSE(AddressCounts(0).add("a"));
}

TEST(SourceLimitsTest, RateWindow) {
    struct Case {
        const char* name;
        std::vector<Seconds> events;
        std::vector<bool> taken;
    };
    const Case cases[] = {
        {"four a minute", {0, 1, 2, 3, 4, 59}, {true, true, true, true, false, false}},
        {"next window", {0, 1, 2, 3, 60, 61}, {true, true, true, true, true, true}},
        {"window from its first event",
         {10, 69, 70, 71, 72, 73, 74},
         {true, true, true, true, true, true, false}},
        {"clock set back",
         {1000, 1000, 1000, 1000, 1000, 500},
         {true, true, true, true, false, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RateWindow window;
        for (std::size_t i = 0; i < c.events.size(); ++i) {
            EXPECT_EQ(window.take(c.events[i], 4, 60), c.taken[i]) << i;
        }
    }
}

TEST(SourceLimitsTest, LogThrottle) {
    LogThrottle throttle(3, 60);
    EXPECT_EQ(throttle.line("a", 0, "x"), "x");
    EXPECT_FALSE(throttle.line("a", 1, "x")); // one line per key a minute
    EXPECT_EQ(throttle.line("b", 2, "y"), "y (1 more such lines held back before this one)");
    EXPECT_EQ(throttle.line("c", 3, "z"), "z");
    EXPECT_FALSE(throttle.line("d", 4, "w")); // three lines a minute in all
    EXPECT_FALSE(throttle.line("e", 5, "w"));
    EXPECT_EQ(throttle.line("a", 60, "x"), "x (2 more such lines held back before this one)");
}

StatusRecord record(int cpu, int count) {
    StatusRecord r;
    r.cpuNumber = cpu;
    r.unitCount = count;
    r.progressPercent = 50;
    r.points = 100;
    return r;
}

TEST(SourceLimitsTest, MachinesPerAddress) {
    MachineRegistry registry(MaxMachines, 3);
    for (int cpu = 1; cpu <= 3; ++cpu) {
        EXPECT_TRUE(registry.observe("10.0.0.1", record(cpu, 1), 0).accepted);
    }
    Observation fourth = registry.observe("10.0.0.1", record(4, 1), 0);
    EXPECT_FALSE(fourth.accepted);
    EXPECT_TRUE(fourth.addressFull);
    EXPECT_TRUE(registry.observe("10.0.0.1", record(2, 1), 1).accepted); // a known machine
    EXPECT_TRUE(registry.observe("10.0.0.2", record(4, 1), 1).accepted); // another address
    // The registry's own limit still holds.
    MachineRegistry small(2, 3);
    small.observe("10.0.0.1", record(1, 1), 0);
    small.observe("10.0.0.2", record(1, 1), 0);
    Observation full = small.observe("10.0.0.3", record(1, 1), 0);
    EXPECT_FALSE(full.accepted);
    EXPECT_FALSE(full.addressFull);
}

TEST(SourceLimitsTest, FinishedUnitsOverTheRateAreNotToBeStored) {
    MachineRegistry registry;
    registry.observe("10.0.0.1", record(1, 1), 0);
    std::vector<bool> overRate;
    for (int count = 2; count <= 7; ++count) {
        Observation seen = registry.observe("10.0.0.1", record(1, count), count);
        ASSERT_TRUE(seen.finished);
        overRate.push_back(seen.overRate);
    }
    EXPECT_EQ(overRate, (std::vector<bool>{false, false, false, false, true, true}));
    Observation later = registry.observe("10.0.0.1", record(1, 8), 100);
    ASSERT_TRUE(later.finished);
    EXPECT_FALSE(later.overRate);
    // Another machine of the same address has its own rate.
    registry.observe("10.0.0.1", record(2, 1), 100);
    EXPECT_FALSE(registry.observe("10.0.0.1", record(2, 2), 101).overRate);
}

TEST(SourceLimitsTest, MachinesUnseenFor30DaysAreForgotten) {
    constexpr Seconds Day = 86400;
    MachineRegistry registry(MaxMachines, 2);
    registry.observe("10.0.0.1", record(1, 1), 0);
    registry.observe("10.0.0.1", record(1, 2), 100);
    registry.observe("10.0.0.1", record(1, 3), 3700); // one timed unit: 100 points in an hour
    registry.observe("10.0.0.1", record(2, 1), 10 * Day);
    EXPECT_EQ(registry.forgetUnseenSince(31 * Day - ForgetUnseenAfter), 1u);
    EXPECT_EQ(registry.find("10.0.0.1-1"), nullptr);
    ASSERT_NE(registry.find("10.0.0.1-2"), nullptr);
    // Its room under the address's limit is free again, and its totals are
    // kept for when it returns.
    EXPECT_TRUE(registry.observe("10.0.0.1", record(3, 1), 31 * Day).accepted);
    EXPECT_FALSE(registry.observe("10.0.0.1", record(4, 1), 31 * Day).accepted);
    registry.forgetUnseenSince(31 * Day);
    EXPECT_TRUE(registry.observe("10.0.0.1", record(1, 5), 32 * Day).accepted);
    EXPECT_DOUBLE_EQ(*registry.pointsPerDayOf(*registry.find("10.0.0.1-1")), 2400);
}

} // namespace
