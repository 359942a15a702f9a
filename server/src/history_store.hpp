// The history in SQLite: every finished unit and every command sent. Each
// write is one transaction, so a killed server loses at most the write under
// way. Safe to use from several threads (one connection behind a lock).
#pragma once

#include "commands.hpp"
#include "machine_registry.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

struct DayCount {
    std::string day; // YYYY-MM-DD, UTC
    long long units = 0;
    long long points = 0;
};

struct GroupTotal {
    std::string name; // user name, or team number as text
    long long units = 0;
    long long points = 0;
};

struct CommandEntry {
    std::string machineId;
    std::string command;
    Seconds time = 0;
};

struct MachineTotals {
    std::string machineId;
    double points = 0;
    Seconds duration = 0;
};

class HistoryStore {
public:
    // Opens or creates the database; a file that is not a sound database of
    // ours gives nullptr and the reason in error.
    static std::unique_ptr<HistoryStore> open(const std::string& path, std::string& error);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    bool addUnit(const FinishedUnit& unit);
    bool addCommand(const std::string& machineId, Command command, Seconds time);

    // Units finished on each of the last `days` days up to now, oldest first,
    // days without units included.
    std::vector<DayCount> unitsPerDay(int days, Seconds now);
    std::vector<FinishedUnit> recentUnits(int limit);
    std::vector<CommandEntry> recentCommands(int limit);
    std::vector<GroupTotal> totalsByUser(Seconds since);
    std::vector<GroupTotal> totalsByTeam(Seconds since);
    // Points and duration of each machine's timed units.
    std::vector<MachineTotals> timedTotals();

private:
    explicit HistoryStore(sqlite3* db) : db_(db) {}
    bool execute(const char* sql);
    bool inTransaction(const std::function<bool()>& body);

    sqlite3* db_;
    std::mutex mutex_;
};
