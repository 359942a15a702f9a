#include "machine_registry.hpp"

#include <algorithm>

namespace {
// Until a machine's interval is known it counts as online for three minutes;
// intervals below two seconds count as two, so jitter does not flap the state.
constexpr Seconds DefaultInterval = 60.0;
constexpr Seconds ShortestInterval = 2.0;
constexpr double IntervalsBeforeOffline = 3.0;
constexpr double NewGapWeight = 0.25;

FinishedUnit finishedFrom(const Machine& m, Seconds now, bool timed) {
    FinishedUnit unit;
    unit.machineId = m.id;
    unit.userName = m.last.userName;
    unit.teamNumber = m.last.teamNumber;
    unit.unitName = m.last.unitName;
    unit.coreName = m.last.coreName;
    unit.points = m.last.points;
    unit.frames = m.last.frames;
    unit.start = m.unitStart;
    unit.end = now;
    unit.timed = timed;
    return unit;
}
} // namespace

std::string MachineRegistry::machineId(const std::string& address, int cpuNumber) {
    return address + "-" + std::to_string(cpuNumber);
}

void MachineRegistry::startUnit(Machine& m, Seconds now, bool startSeen) {
    m.unitStart = now;
    m.unitStartSeen = startSeen;
    m.progress.reset(now, m.last.progressPercent);
}

// Follows the unit count: a rise ends the unit, a fall is a restarted monitor.
std::optional<FinishedUnit> MachineRegistry::advance(Machine& m, const StatusRecord& record,
                                                     Seconds now) {
    std::optional<FinishedUnit> finished;
    long long rise = static_cast<long long>(record.unitCount) - m.last.unitCount;
    if (rise > 0) {
        bool timed = m.unitStartSeen && rise == 1;
        finished = finishedFrom(m, now, timed);
        if (timed) {
            m.timedPoints += finished->points;
            m.timedDuration += now - m.unitStart;
        }
    }
    m.last = record;
    if (rise != 0) {
        startUnit(m, now, rise == 1);
    } else {
        m.progress.observe(now, record.progressPercent);
    }
    return finished;
}

Observation MachineRegistry::observe(const std::string& address, const StatusRecord& record,
                                     Seconds now) {
    Observation result;
    result.machineId = machineId(address, record.cpuNumber);
    auto found = machines_.find(result.machineId);
    if (found == machines_.end()) {
        if (machines_.size() >= capacity_) {
            return result;
        }
        if (!perAddress_.add(address)) {
            result.addressFull = true;
            return result;
        }
        Machine fresh;
        fresh.id = result.machineId;
        fresh.address = address;
        fresh.firstSeen = now;
        fresh.last = record;
        auto seed = seeds_.find(fresh.id);
        if (seed != seeds_.end()) {
            fresh.timedPoints = seed->second.first;
            fresh.timedDuration = seed->second.second;
        }
        startUnit(fresh, now, false);
        found = machines_.emplace(fresh.id, std::move(fresh)).first;
    } else {
        Machine& m = found->second;
        if (m.closed) {
            // A monitor that closed and starts again begins a new session.
            m.last = record;
            startUnit(m, now, false);
        } else {
            Seconds gap = std::max(0.0, now - m.lastSeen);
            m.usualInterval = m.usualInterval == 0
                                  ? gap
                                  : (1 - NewGapWeight) * m.usualInterval + NewGapWeight * gap;
            result.finished = advance(m, record, now);
            result.overRate = result.finished && !m.storedUnits.take(now, unitsPerMinute_, 60.0);
        }
    }
    Machine& m = found->second;
    m.lastSeen = now;
    m.closed = record.closing == 1;
    result.accepted = true;
    if (m.closed) {
        m.pending = Command::None; // a stale command must not meet the next start
    } else {
        result.reply = static_cast<unsigned char>(m.pending);
    }
    return result;
}

std::size_t MachineRegistry::forgetUnseenSince(Seconds before) {
    std::size_t forgotten = 0;
    for (auto it = machines_.begin(); it != machines_.end();) {
        const Machine& m = it->second;
        if (m.lastSeen >= before) {
            ++it;
            continue;
        }
        if (m.timedDuration > 0) {
            seeds_[m.id] = {m.timedPoints, m.timedDuration};
        }
        perAddress_.remove(m.address);
        it = machines_.erase(it);
        ++forgotten;
    }
    return forgotten;
}

QueueResult MachineRegistry::queue(const std::string& id, Command command) {
    auto found = machines_.find(id);
    if (found == machines_.end()) {
        return QueueResult::UnknownMachine;
    }
    if (found->second.closed) {
        return QueueResult::Closed;
    }
    if (!machineObeys(found->second.last.extension, command)) {
        return QueueResult::Refused;
    }
    found->second.pending = command;
    return QueueResult::Queued;
}

void MachineRegistry::confirmSent(const std::string& id, Command command) {
    auto found = machines_.find(id);
    if (found != machines_.end() && found->second.pending == command) {
        found->second.pending = Command::None;
    }
}

void MachineRegistry::seedTotals(const std::string& id, double points, Seconds duration) {
    seeds_[id] = {points, duration};
}

bool MachineRegistry::isOnline(const Machine& m, Seconds now) const {
    if (m.closed) {
        return false;
    }
    Seconds interval = m.usualInterval == 0 ? DefaultInterval : m.usualInterval;
    return now - m.lastSeen <= IntervalsBeforeOffline * std::max(interval, ShortestInterval);
}

std::optional<double> MachineRegistry::pointsPerDayOf(const Machine& m) const {
    return pointsPerDay(m.timedPoints, m.timedDuration);
}

const Machine* MachineRegistry::find(const std::string& id) const {
    auto found = machines_.find(id);
    return found == machines_.end() ? nullptr : &found->second;
}

std::vector<const Machine*> MachineRegistry::all() const {
    std::vector<const Machine*> list;
    list.reserve(machines_.size());
    for (const auto& [id, machine] : machines_) {
        list.push_back(&machine);
    }
    return list;
}
