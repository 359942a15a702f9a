#include "history_store.hpp"

#include <sqlite3.h>

#include <cmath>
#include <ctime>
#include <functional>
#include <iomanip>
#include <sstream>
#include <string_view>

namespace {

constexpr int SchemaVersion = 1;
constexpr int BusyTimeoutMilliseconds = 5000;
constexpr double SecondsPerDay = 86400.0;

constexpr const char* Schema = R"sql(
CREATE TABLE IF NOT EXISTS units (
    id INTEGER PRIMARY KEY,
    machine TEXT NOT NULL,
    user_name TEXT NOT NULL,
    team INTEGER NOT NULL,
    unit_name TEXT NOT NULL,
    core TEXT NOT NULL,
    points INTEGER NOT NULL,
    frames INTEGER NOT NULL,
    start REAL NOT NULL,
    end REAL NOT NULL,
    duration REAL NOT NULL,
    timed INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS units_end ON units(end);
CREATE TABLE IF NOT EXISTS commands (
    id INTEGER PRIMARY KEY,
    machine TEXT NOT NULL,
    command TEXT NOT NULL,
    time REAL NOT NULL);
PRAGMA user_version = 1;
)sql";

// One prepared statement, finalized on every path.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    Statement& bind(int index, std::string_view text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int index, long long value) {
        sqlite3_bind_int64(stmt_, index, value);
        return *this;
    }
    Statement& bind(int index, double value) {
        sqlite3_bind_double(stmt_, index, value);
        return *this;
    }
    bool row() { return ok() && sqlite3_step(stmt_) == SQLITE_ROW; }
    bool done() { return ok() && sqlite3_step(stmt_) == SQLITE_DONE; }
    std::string text(int column) const {
        const unsigned char* value = sqlite3_column_text(stmt_, column);
        return value ? reinterpret_cast<const char*>(value) : "";
    }
    long long integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    double real(int column) const { return sqlite3_column_double(stmt_, column); }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

std::string utcDay(Seconds time) {
    std::time_t whole = static_cast<std::time_t>(std::floor(time));
    std::tm parts{};
    gmtime_r(&whole, &parts);
    std::ostringstream text;
    text << std::put_time(&parts, "%Y-%m-%d");
    return text.str();
}

// A quick look at the file before it is used: sound pages and our version.
bool checkDatabase(sqlite3* db, std::string& error) {
    Statement check(db, "PRAGMA quick_check");
    if (!check.row() || check.text(0) != "ok") {
        error = sqlite3_errmsg(db);
        if (error == "not an error") {
            error = "integrity check failed: " + check.text(0);
        }
        return false;
    }
    Statement version(db, "PRAGMA user_version");
    if (!version.row() || version.integer(0) > SchemaVersion) {
        error = "made by a newer version of the server";
        return false;
    }
    return true;
}

std::vector<GroupTotal> groupTotals(sqlite3* db, const char* sql, Seconds since) {
    Statement query(db, sql);
    query.bind(1, since);
    std::vector<GroupTotal> totals;
    while (query.row()) {
        totals.push_back({query.text(0), query.integer(1), query.integer(2)});
    }
    return totals;
}

} // namespace

std::unique_ptr<HistoryStore> HistoryStore::open(const std::string& path, std::string& error) {
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        return nullptr;
    }
    std::unique_ptr<HistoryStore> store(new HistoryStore(db));
    sqlite3_busy_timeout(db, BusyTimeoutMilliseconds);
    if (!checkDatabase(db, error)) {
        return nullptr;
    }
    // WAL keeps every committed transaction through a kill of the process.
    if (!store->execute("PRAGMA journal_mode=WAL") ||
        !store->execute("PRAGMA synchronous=NORMAL") ||
        !store->inTransaction([&] { return store->execute(Schema); })) {
        error = sqlite3_errmsg(db);
        return nullptr;
    }
    return store;
}

HistoryStore::~HistoryStore() {
    sqlite3_close(db_);
}

bool HistoryStore::execute(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool HistoryStore::inTransaction(const std::function<bool()>& body) {
    if (!execute("BEGIN IMMEDIATE")) {
        return false;
    }
    if (body() && execute("COMMIT")) {
        return true;
    }
    execute("ROLLBACK");
    return false;
}

bool HistoryStore::addUnit(const FinishedUnit& u) {
    std::lock_guard lock(mutex_);
    return inTransaction([&] {
        Statement insert(db_, "INSERT INTO units (machine, user_name, team, unit_name, core, "
                              "points, frames, start, end, duration, timed) "
                              "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        insert.bind(1, u.machineId)
            .bind(2, u.userName)
            .bind(3, static_cast<long long>(u.teamNumber));
        insert.bind(4, u.unitName).bind(5, u.coreName).bind(6, static_cast<long long>(u.points));
        insert.bind(7, static_cast<long long>(u.frames)).bind(8, u.start).bind(9, u.end);
        insert.bind(10, u.end - u.start).bind(11, static_cast<long long>(u.timed ? 1 : 0));
        return insert.done();
    });
}

bool HistoryStore::addCommand(const std::string& machineId, Command command, Seconds time) {
    std::lock_guard lock(mutex_);
    return inTransaction([&] {
        Statement insert(db_, "INSERT INTO commands (machine, command, time) VALUES (?, ?, ?)");
        insert.bind(1, machineId).bind(2, commandName(command)).bind(3, time);
        return insert.done();
    });
}

std::vector<DayCount> HistoryStore::unitsPerDay(int days, Seconds now) {
    std::lock_guard lock(mutex_);
    std::vector<DayCount> counts;
    for (int back = days - 1; back >= 0; --back) {
        counts.push_back({utcDay(now - back * SecondsPerDay), 0, 0});
    }
    if (counts.empty()) {
        return counts;
    }
    Statement query(db_, "SELECT date(end, 'unixepoch'), count(*), total(points) FROM units "
                         "WHERE date(end, 'unixepoch') >= ? GROUP BY 1");
    query.bind(1, counts.front().day);
    while (query.row()) {
        for (DayCount& day : counts) {
            if (day.day == query.text(0)) {
                day.units = query.integer(1);
                day.points = static_cast<long long>(query.real(2));
            }
        }
    }
    return counts;
}

std::vector<FinishedUnit> HistoryStore::recentUnits(int limit) {
    std::lock_guard lock(mutex_);
    Statement query(db_, "SELECT machine, user_name, team, unit_name, core, points, frames, "
                         "start, end, timed FROM units ORDER BY end DESC, id DESC LIMIT ?");
    query.bind(1, static_cast<long long>(limit));
    std::vector<FinishedUnit> units;
    while (query.row()) {
        FinishedUnit u;
        u.machineId = query.text(0);
        u.userName = query.text(1);
        u.teamNumber = static_cast<int>(query.integer(2));
        u.unitName = query.text(3);
        u.coreName = query.text(4);
        u.points = static_cast<int>(query.integer(5));
        u.frames = static_cast<int>(query.integer(6));
        u.start = query.real(7);
        u.end = query.real(8);
        u.timed = query.integer(9) != 0;
        units.push_back(std::move(u));
    }
    return units;
}

std::vector<CommandEntry> HistoryStore::recentCommands(int limit) {
    std::lock_guard lock(mutex_);
    Statement query(db_, "SELECT machine, command, time FROM commands "
                         "ORDER BY time DESC, id DESC LIMIT ?");
    query.bind(1, static_cast<long long>(limit));
    std::vector<CommandEntry> entries;
    while (query.row()) {
        entries.push_back({query.text(0), query.text(1), query.real(2)});
    }
    return entries;
}

std::vector<GroupTotal> HistoryStore::totalsByUser(Seconds since) {
    std::lock_guard lock(mutex_);
    return groupTotals(db_,
                       "SELECT user_name, count(*), total(points) FROM units WHERE end >= ? "
                       "GROUP BY user_name ORDER BY 3 DESC",
                       since);
}

std::vector<GroupTotal> HistoryStore::totalsByTeam(Seconds since) {
    std::lock_guard lock(mutex_);
    return groupTotals(db_,
                       "SELECT CAST(team AS TEXT), count(*), total(points) FROM units "
                       "WHERE end >= ? GROUP BY team ORDER BY 3 DESC",
                       since);
}

std::vector<MachineTotals> HistoryStore::timedTotals() {
    std::lock_guard lock(mutex_);
    Statement query(db_, "SELECT machine, total(points), total(duration) FROM units "
                         "WHERE timed = 1 GROUP BY machine");
    std::vector<MachineTotals> totals;
    while (query.row()) {
        totals.push_back({query.text(0), query.real(1), query.real(2)});
    }
    return totals;
}
