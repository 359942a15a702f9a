#include "hub.hpp"

#include "machine_json.hpp"
#include "server_log.hpp"

namespace {
constexpr int RecentUnits = 50;
constexpr int RecentCommands = 20;
constexpr double SecondsPerDay = 86400.0;
constexpr Seconds ForgetCheckEvery = 60.0;
constexpr std::size_t LogLinesPerMinute = 10;
} // namespace

Hub::Hub(HistoryStore& store, std::size_t machineCapacity)
    : store_(store), registry_(machineCapacity), malformedLog_(LogLinesPerMinute, 60.0),
      limitLog_(LogLinesPerMinute, 60.0) {
    for (const MachineTotals& totals : store_.timedTotals()) {
        registry_.seedTotals(totals.machineId, totals.points, totals.duration);
    }
}

HubReply Hub::handleMessage(const std::string& address, std::string_view message, Seconds now) {
    HubReply result;
    RecordParse parsed = parseMessage(message);
    if (!parsed.record) {
        counters_.malformed++;
        logThrottled(malformedLog_, address,
                     "dropped a malformed record from " + address + ": " + parsed.error, now);
        return result;
    }
    Observation seen;
    {
        std::lock_guard lock(mutex_);
        forgetUnseen(now);
        seen = registry_.observe(address, *parsed.record, now);
    }
    if (!seen.accepted) {
        counters_.overMachineLimit++;
        std::string limit =
            seen.addressFull ? std::to_string(MaxMachinesPerAddress) + " machines from this address"
                             : "the most machines the server keeps";
        logThrottled(limitLog_, address, "dropped a record from " + address + ": " + limit, now);
        return result;
    }
    counters_.records++;
    if (seen.finished) {
        counters_.unitsFinished++;
    }
    if (seen.finished && seen.overRate) {
        counters_.unitsOverRate++;
        logThrottled(limitLog_, address,
                     "did not store a finished unit of " + seen.machineId + ": over " +
                         std::to_string(unitsPerMinute_) + " a minute",
                     now);
    } else if (seen.finished) {
        if (!store_.addUnit(*seen.finished)) {
            logLine("could not store the finished unit of " + seen.machineId);
        }
    }
    result.machineId = seen.machineId;
    result.reply = seen.reply;
    changed();
    return result;
}

void Hub::replySent(const std::string& machineId, unsigned char reply, Seconds now) {
    if (reply == 0) {
        return;
    }
    Command command = static_cast<Command>(reply);
    {
        std::lock_guard lock(mutex_);
        registry_.confirmSent(machineId, command);
    }
    counters_.commandsSent++;
    logLine("sent " + std::string(commandName(command)) + " to " + machineId);
    if (!store_.addCommand(machineId, command, now)) {
        logLine("could not store the command sent to " + machineId);
    }
    changed();
}

QueueResult Hub::queueCommand(const std::string& machineId, Command command) {
    QueueResult result;
    {
        std::lock_guard lock(mutex_);
        result = registry_.queue(machineId, command);
    }
    if (result == QueueResult::Queued) {
        logLine("queued " + std::string(commandName(command)) + " for " + machineId);
        changed();
    }
    return result;
}

nlohmann::json Hub::machinesJson(Seconds now) {
    nlohmann::json list = nlohmann::json::array();
    std::lock_guard lock(mutex_);
    forgetUnseen(now);
    for (const Machine* machine : registry_.all()) {
        list.push_back(machineJson(registry_, *machine, now));
    }
    return list;
}

nlohmann::json Hub::historyJson(int days, Seconds now) {
    nlohmann::json history = {{"days", nlohmann::json::array()},
                              {"units", nlohmann::json::array()},
                              {"commands", nlohmann::json::array()},
                              {"users", nlohmann::json::array()},
                              {"teams", nlohmann::json::array()}};
    for (const DayCount& day : store_.unitsPerDay(days, now)) {
        history["days"].push_back(dayJson(day));
    }
    for (const FinishedUnit& unit : store_.recentUnits(RecentUnits)) {
        history["units"].push_back(unitJson(unit));
    }
    for (const CommandEntry& entry : store_.recentCommands(RecentCommands)) {
        history["commands"].push_back(commandJson(entry));
    }
    Seconds since = now - days * SecondsPerDay;
    for (const GroupTotal& total : store_.totalsByUser(since)) {
        history["users"].push_back(groupJson(total));
    }
    for (const GroupTotal& total : store_.totalsByTeam(since)) {
        history["teams"].push_back(groupJson(total));
    }
    return history;
}

nlohmann::json Hub::statsJson() {
    return {{"records", counters_.records.load()},
            {"malformed", counters_.malformed.load()},
            {"timedOut", counters_.timedOut.load()},
            {"refused", counters_.refused.load()},
            {"commandsSent", counters_.commandsSent.load()},
            {"unitsFinished", counters_.unitsFinished.load()},
            {"overMachineLimit", counters_.overMachineLimit.load()},
            {"unitsOverRate", counters_.unitsOverRate.load()},
            {"forgotten", counters_.forgotten.load()}};
}

void Hub::limitStoredUnits(int perMinute) {
    std::lock_guard lock(mutex_);
    unitsPerMinute_ = perMinute;
    registry_.limitStoredUnits(perMinute);
}

void Hub::forgetUnseen(Seconds now) {
    if (now - lastForget_ < ForgetCheckEvery && now >= lastForget_) {
        return;
    }
    lastForget_ = now;
    std::size_t count = registry_.forgetUnseenSince(now - ForgetUnseenAfter);
    if (count > 0) {
        counters_.forgotten += count;
        ++version_;
        changedSignal_.notify_all();
        logLine("forgot " + std::to_string(count) + " machine(s) unseen for 30 days");
    }
}

void Hub::logThrottled(LogThrottle& throttle, const std::string& address, const std::string& text,
                       Seconds now) {
    std::optional<std::string> line;
    {
        std::lock_guard lock(logMutex_);
        line = throttle.line(address, now, text);
    }
    if (line) {
        logLine(*line);
    }
}

void Hub::changed() {
    {
        std::lock_guard lock(mutex_);
        ++version_;
    }
    changedSignal_.notify_all();
}

std::uint64_t Hub::version() {
    std::lock_guard lock(mutex_);
    return version_;
}

std::uint64_t Hub::waitForChange(std::uint64_t seen, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    changedSignal_.wait_for(lock, limit, [&] { return version_ != seen; });
    return version_;
}

void Hub::wakeAll() {
    changedSignal_.notify_all();
}
