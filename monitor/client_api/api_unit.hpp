// The units of today's client's state: which one the monitor follows, and
// what it shows of it.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

// What the monitor takes from one unit of the state.
struct ApiUnit {
    std::string id;
    long long number = 0;
    std::string group;
    bool running = false; // state RUN, paused or not
    int project = 0;
    int run = 0;
    int clone = 0;
    int gen = 0;
    double progress = 0.0; // 0 to 1
    std::string coreType;  // e.g. "0xa8"
    double credit = 0.0;   // base points
    std::string state;     // as the client names it: "RUN", "UPLOAD", ...
    bool paused = false;
    long long etaSeconds = -1; // the client's estimate of the time left; -1 unknown
    long long ppd = 0;         // the client's points-per-day estimate
};

// Reads a unit; false when it has no id or no project, so it cannot be
// followed (a unit still being assigned, or one of the wrong shape).
bool readApiUnit(const nlohmann::json& unit, ApiUnit& out);

// The unit to follow: the followed one while it runs; otherwise the running
// unit of the group (any group when group is empty) with the lowest number;
// otherwise still the followed one (it stays shown as last seen). Returns
// its id, empty when there is none.
std::string chooseApiUnit(const nlohmann::json& state, const std::string& followedId,
                          const std::string& group);

// The unit of that id in the state; false when it is gone or unreadable.
bool findApiUnit(const nlohmann::json& state, const std::string& id, ApiUnit& out);

// The monitor's name of a unit: "p<project>_R<run>_C<clone>_G<gen>", so the
// project stands where the database lookup reads it.
std::string apiUnitName(const ApiUnit& unit);

// Percent done, 100 x progress truncated, within 0 to 100.
int apiUnitPercent(const ApiUnit& unit);

// Seconds of the client's time text ("2 hours 37 mins", "12 mins 04 secs",
// "35.00 secs", "1 day 2 hours"), or of a number of seconds; -1 when it says
// nothing readable.
long long parseClientDuration(const nlohmann::json& value);
