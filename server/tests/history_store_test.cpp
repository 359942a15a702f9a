#include "history_store.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class HistoryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ =
            fs::temp_directory_path() /
            ("vigilon-store-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string path(const char* name) const { return (folder_ / name).string(); }

    fs::path folder_;
};

FinishedUnit unit(const char* machine, const char* user, Seconds end, int points) {
    FinishedUnit u;
    u.machineId = machine;
    u.userName = user;
    u.teamNumber = 33;
    u.unitName = "p2665 <b>x</b>";
    u.points = points;
    u.start = end - 3600;
    u.end = end;
    u.timed = true;
    return u;
}

constexpr Seconds Day = 86400;
constexpr Seconds Now = 1700000000; // 2023-11-14T22:13:20Z

TEST_F(HistoryStoreTest, KeepsHistoryAcrossRestarts) {
    std::string error;
    {
        auto store = HistoryStore::open(path("h.db"), error);
        ASSERT_TRUE(store) << error;
        ASSERT_TRUE(store->addUnit(unit("a-1", "TomJ", Now, 100)));
        ASSERT_TRUE(store->addUnit(unit("a-1", "TomJ", Now - Day, 200)));
        ASSERT_TRUE(store->addUnit(unit("b-2", "Ann", Now - 5 * Day, 50)));
        ASSERT_TRUE(store->addCommand("a-1", Command::Restart, Now));
    }
    auto store = HistoryStore::open(path("h.db"), error);
    ASSERT_TRUE(store) << error;
    std::vector<DayCount> days = store->unitsPerDay(3, Now);
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[0].day, "2023-11-12");
    EXPECT_EQ(days[0].units, 0);
    EXPECT_EQ(days[1].units, 1);
    EXPECT_EQ(days[2].points, 100);
    std::vector<FinishedUnit> recent = store->recentUnits(10);
    ASSERT_EQ(recent.size(), 3u);
    EXPECT_EQ(recent[0].unitName, "p2665 <b>x</b>");
    EXPECT_EQ(store->recentCommands(10).at(0).command, "restart");
    std::vector<GroupTotal> users = store->totalsByUser(Now - 2 * Day);
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].points, 300);
    std::vector<MachineTotals> totals = store->timedTotals();
    ASSERT_EQ(totals.size(), 2u);
    EXPECT_DOUBLE_EQ(totals[0].duration, 7200);
}

TEST_F(HistoryStoreTest, RefusesFilesThatAreNotItsDatabase) {
    const std::string contents[] = {
        std::string(8192, 'x'),
        std::string("SQLite format 3") + '\0' + std::string(4000, '\xff'),
    };
    for (const std::string& content : contents) {
        std::ofstream(path("bad.db"), std::ios::binary) << content;
        std::string error;
        EXPECT_FALSE(HistoryStore::open(path("bad.db"), error));
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    EXPECT_FALSE(HistoryStore::open(path("missing/folder/h.db"), error));
}

} // namespace
