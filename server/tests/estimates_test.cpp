#include "estimates.hpp"
#include "machine_registry.hpp"

#include <gtest/gtest.h>

namespace {

TEST(EstimatesTest, ProgressRateAndEta) {
    struct Step {
        Seconds time;
        int percent;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        Seconds now;
        std::optional<double> eta;
    };
    const Case cases[] = {
        {"one sample", {{0, 10}}, 0, std::nullopt},
        {"no movement", {{0, 10}, {60, 10}}, 60, std::nullopt},
        // 10 % in 100 s from the first time each value was seen: 80 % left.
        {"steady", {{0, 10}, {50, 15}, {100, 20}, {110, 20}}, 110, 790.0},
        {"restarted unit", {{0, 50}, {100, 60}, {200, 5}, {300, 15}}, 300, 850.0},
        {"overdue", {{0, 10}, {100, 99}}, 1000, 0.0},
        {"held at 100", {{0, 10}, {100, 250}}, 100, 0.0},
    };
    for (const Case& c : cases) {
        UnitProgress progress;
        progress.reset(c.steps[0].time, c.steps[0].percent);
        for (std::size_t i = 1; i < c.steps.size(); ++i) {
            progress.observe(c.steps[i].time, c.steps[i].percent);
        }
        std::optional<double> eta = progress.etaSeconds(c.now);
        ASSERT_EQ(eta.has_value(), c.eta.has_value()) << c.name;
        if (eta) {
            EXPECT_NEAR(*eta, *c.eta, 1e-6) << c.name;
        }
    }
}

TEST(EstimatesTest, PointsPerDay) {
    EXPECT_FALSE(pointsPerDay(1000, 59));
    EXPECT_DOUBLE_EQ(*pointsPerDay(1920, 86400), 1920);
    EXPECT_DOUBLE_EQ(*pointsPerDay(500, 3600), 12000);
}

StatusRecord record(int cpu, int count, int progress, int points = 100, int closing = 0) {
    StatusRecord r;
    r.cpuNumber = cpu;
    r.unitCount = count;
    r.progressPercent = progress;
    r.unitName = "unit" + std::to_string(count);
    r.points = points;
    r.closing = closing;
    return r;
}

TEST(MachineRegistryTest, TimesOnlyUnitsWhoseStartWasSeen) {
    MachineRegistry registry;
    EXPECT_FALSE(registry.observe("10.0.0.1", record(1, 1, 50), 0).finished);
    // The first unit was already running when we first heard of it.
    Observation first = registry.observe("10.0.0.1", record(1, 2, 0, 200), 1000);
    ASSERT_TRUE(first.finished);
    EXPECT_FALSE(first.finished->timed);
    EXPECT_EQ(first.finished->unitName, "unit1");
    Observation second = registry.observe("10.0.0.1", record(1, 3, 0), 1000 + 3600);
    ASSERT_TRUE(second.finished);
    EXPECT_TRUE(second.finished->timed);
    EXPECT_EQ(second.finished->points, 200);
    EXPECT_DOUBLE_EQ(second.finished->end - second.finished->start, 3600);
    const Machine* m = registry.find("10.0.0.1-1");
    ASSERT_NE(m, nullptr);
    EXPECT_DOUBLE_EQ(*registry.pointsPerDayOf(*m), 200.0 * 24);
    // A jump of two counts, or a restarted monitor, times nothing.
    EXPECT_FALSE(registry.observe("10.0.0.1", record(1, 5, 0), 9000).finished->timed);
    EXPECT_FALSE(registry.observe("10.0.0.1", record(1, 1, 0), 9100).finished);
    EXPECT_FALSE(registry.observe("10.0.0.1", record(1, 2, 0), 9200).finished->timed);
}

TEST(MachineRegistryTest, CommandsAndStates) {
    MachineRegistry registry(2);
    registry.observe("10.0.0.1", record(1, 1, 5), 0);
    registry.observe("10.0.0.1", record(2, 1, 5), 0);
    EXPECT_FALSE(registry.observe("10.0.0.2", record(1, 1, 5), 0).accepted); // full
    EXPECT_EQ(registry.queue("10.0.0.9-1", Command::Stop), QueueResult::UnknownMachine);
    EXPECT_EQ(registry.queue("10.0.0.1-1", Command::Stop), QueueResult::Queued);
    EXPECT_EQ(registry.observe("10.0.0.1", record(1, 1, 6), 10).reply, 1);
    EXPECT_EQ(registry.observe("10.0.0.1", record(2, 1, 6), 10).reply, 0);
    registry.confirmSent("10.0.0.1-1", Command::Stop);
    EXPECT_EQ(registry.observe("10.0.0.1", record(1, 1, 6), 20).reply, 0);
    // Online within three usual intervals (10 s here); a final record closes.
    const Machine& m = *registry.find("10.0.0.1-1");
    EXPECT_TRUE(registry.isOnline(m, 50));
    EXPECT_FALSE(registry.isOnline(m, 51));
    registry.queue("10.0.0.1-1", Command::Toggle);
    EXPECT_FALSE(registry.observe("10.0.0.1", record(1, 1, 6, 100, 1), 25).reply);
    EXPECT_TRUE(m.closed);
    EXPECT_EQ(m.pending, Command::None);
    EXPECT_FALSE(registry.isOnline(m, 25));
    EXPECT_EQ(registry.queue("10.0.0.1-1", Command::Stop), QueueResult::Closed);
    registry.observe("10.0.0.1", record(1, 1, 0), 100);
    EXPECT_FALSE(m.closed);
}

// A machine gets only the commands its last record says it obeys; one whose
// monitor sends no extension gets restart as before.
TEST(MachineRegistryTest, RefusesCommandsTheMachineDoesNotObey) {
    struct Case {
        const char* name;
        bool present, fromApi, ctl;
        bool restart, client; // restart queued; pause, fold and finish queued
    };
    const Case cases[] = {
        {"no extension", false, false, false, true, false},
        {"file, ctl=0", true, false, false, false, false},
        {"file, ctl=1", true, false, true, true, false},
        {"api, ctl=0", true, true, false, false, false},
        {"api, ctl=1", true, true, true, true, true},
    };
    auto expected = [](bool queued) { return queued ? QueueResult::Queued : QueueResult::Refused; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MachineRegistry registry;
        StatusRecord r = record(1, 1, 5);
        r.extension.present = c.present;
        r.extension.fromApi = c.fromApi;
        r.extension.obeysControl = c.ctl;
        registry.observe("10.0.0.1", r, 0);
        for (Command command : {Command::Pause, Command::Fold, Command::Finish}) {
            EXPECT_EQ(registry.queue("10.0.0.1-1", command), expected(c.client));
        }
        EXPECT_EQ(registry.queue("10.0.0.1-1", Command::Restart), expected(c.restart));
        EXPECT_EQ(registry.queue("10.0.0.1-1", Command::Stop), QueueResult::Queued);
        EXPECT_EQ(registry.queue("10.0.0.1-1", Command::Toggle), QueueResult::Queued);
    }
}

} // namespace
