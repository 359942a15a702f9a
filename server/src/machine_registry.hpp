// Every machine that reports: its last record, when it was seen, its current
// unit's progress, its finished units' totals and the command queued for it.
// A machine is its peer address plus its CPU number. Limits keep one source
// address from filling the registry or the history: at most 64 machines per
// address, at most 4 finished units stored per machine a minute, and
// machines unseen for 30 days are forgotten. Not thread-safe: the hub holds
// the lock.
#pragma once

#include "commands.hpp"
#include "estimates.hpp"
#include "record.hpp"
#include "source_limits.hpp"

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

constexpr std::size_t MaxMachines = 10000;
constexpr std::size_t MaxMachinesPerAddress = 64;
constexpr int StoredUnitsPerMinute = 4;
constexpr Seconds ForgetUnseenAfter = 30 * 86400.0;

struct Machine {
    std::string id;
    std::string address;
    StatusRecord last;
    Seconds firstSeen = 0;
    Seconds lastSeen = 0;
    Seconds usualInterval = 0; // 0 until a second record arrives
    bool closed = false;
    Seconds unitStart = 0;
    bool unitStartSeen = false; // the current unit began while we watched
    UnitProgress progress;
    double timedPoints = 0;    // points of finished units with a known duration
    Seconds timedDuration = 0; // and their total duration
    Command pending = Command::None;
    RateWindow storedUnits; // finished units stored this minute
};

// A unit that ended when the machine's unit count rose. Only a unit whose
// start was seen and that was followed by exactly the next count is timed;
// the others are kept in the history without counting towards points per day.
struct FinishedUnit {
    std::string machineId;
    std::string userName;
    int teamNumber = 0;
    std::string unitName;
    std::string coreName;
    int points = 0;
    int frames = 0;
    Seconds start = 0;
    Seconds end = 0;
    bool timed = false;
};

struct Observation {
    bool accepted = false;    // false when the record would add a machine over a limit
    bool addressFull = false; // the limit was its address's, not the registry's
    std::string machineId;
    std::optional<FinishedUnit> finished;
    bool overRate = false; // the finished unit is over the machine's rate: not to be stored
    std::optional<unsigned char> reply; // none for a final record
};

// Refused: the machine's last record said its monitor does not obey it.
enum class QueueResult { Queued, UnknownMachine, Closed, Refused };

class MachineRegistry {
public:
    explicit MachineRegistry(std::size_t capacity = MaxMachines,
                             std::size_t perAddress = MaxMachinesPerAddress)
        : capacity_(capacity), perAddress_(perAddress) {}

    Observation observe(const std::string& address, const StatusRecord& record, Seconds now);
    // How many finished units of one machine a minute are stored.
    void limitStoredUnits(int perMinute) { unitsPerMinute_ = perMinute; }
    QueueResult queue(const std::string& id, Command command);
    // The reply carrying this command was sent: it is no longer pending.
    void confirmSent(const std::string& id, Command command);
    // Totals of timed units kept from earlier runs.
    void seedTotals(const std::string& id, double points, Seconds duration);
    // Forgets the machines last seen before `before`; their timed totals are
    // kept as seeds, as the history store would give them at start. Returns
    // how many were forgotten.
    std::size_t forgetUnseenSince(Seconds before);

    bool isOnline(const Machine& machine, Seconds now) const;
    std::optional<double> pointsPerDayOf(const Machine& machine) const;
    const Machine* find(const std::string& id) const;
    std::vector<const Machine*> all() const;

    static std::string machineId(const std::string& address, int cpuNumber);

private:
    void startUnit(Machine& m, Seconds now, bool startSeen);
    std::optional<FinishedUnit> advance(Machine& m, const StatusRecord& record, Seconds now);

    std::size_t capacity_;
    int unitsPerMinute_ = StoredUnitsPerMinute;
    AddressCounts perAddress_;
    std::map<std::string, Machine> machines_;
    std::map<std::string, std::pair<double, Seconds>> seeds_;
};
