#include "machine_json.hpp"

#include <cmath>

namespace {

double rounded(double value) {
    return std::round(value * 10.0) / 10.0;
}

template <typename T> nlohmann::json valueIf(bool known, const T& value) {
    return known ? nlohmann::json(value) : nlohmann::json(nullptr);
}
} // namespace

nlohmann::json machineJson(const MachineRegistry& registry, const Machine& m, Seconds now) {
    const StatusRecord& r = m.last;
    std::optional<double> eta = m.closed ? std::nullopt : m.progress.etaSeconds(now);
    std::optional<double> ppd = registry.pointsPerDayOf(m);
    std::string_view pending = commandName(m.pending);
    // What the monitor reports of the client it follows: null without an
    // extension (an older monitor), the client's own figures only from its API.
    const companion::Extension& x = r.extension;
    const bool api = x.present && x.fromApi;
    return {
        {"id", m.id},
        {"address", m.address},
        {"cpu", r.cpuNumber},
        {"user", r.userName},
        {"team", r.teamNumber},
        {"unit", r.unitName},
        {"unitCount", r.unitCount},
        {"progress", clampPercent(r.progressPercent)},
        {"core", r.coreName},
        {"points", r.points},
        {"frames", r.frames},
        {"cpuMhz", r.cpuMhz},
        {"cpuVendor", r.cpuVendor},
        {"trayMode", r.trayMode != 0},
        {"online", registry.isOnline(m, now)},
        {"closed", m.closed},
        {"firstSeen", isoTime(m.firstSeen)},
        {"lastSeen", isoTime(m.lastSeen)},
        {"eta", eta ? nlohmann::json(std::round(*eta)) : nlohmann::json(nullptr)},
        {"ppd", ppd ? nlohmann::json(rounded(*ppd)) : nlohmann::json(nullptr)},
        {"pending", pending.empty() ? nlohmann::json(nullptr) : nlohmann::json(pending)},
        {"source", valueIf(x.present, x.fromApi ? "api" : "file")},
        {"ctl", valueIf(x.present, x.obeysControl)},
        {"client_state", valueIf(api && !x.state.empty(), x.state)},
        {"paused", valueIf(api, x.paused)},
        {"client_eta_s", valueIf(api && !m.closed && x.etaSeconds >= 0, x.etaSeconds)},
        {"client_ppd", valueIf(api, x.ppd)},
        {"prcg", valueIf(api && !x.prcg.empty(), x.prcg)},
    };
}

nlohmann::json unitJson(const FinishedUnit& u) {
    return {
        {"machine", u.machineId}, {"user", u.userName},
        {"team", u.teamNumber},   {"unit", u.unitName},
        {"core", u.coreName},     {"points", u.points},
        {"frames", u.frames},     {"start", isoTime(u.start)},
        {"end", isoTime(u.end)},  {"duration", rounded(u.end - u.start)},
        {"timed", u.timed},
    };
}

nlohmann::json commandJson(const CommandEntry& e) {
    return {{"machine", e.machineId}, {"command", e.command}, {"time", isoTime(e.time)}};
}

nlohmann::json dayJson(const DayCount& d) {
    return {{"day", d.day}, {"units", d.units}, {"points", d.points}};
}

nlohmann::json groupJson(const GroupTotal& g) {
    return {{"name", g.name}, {"units", g.units}, {"points", g.points}};
}
