// The JSON shapes of the web API.
#pragma once

#include "history_store.hpp"
#include "machine_registry.hpp"
#include "server_clock.hpp"

#include <nlohmann/json.hpp>

#include <string>

nlohmann::json machineJson(const MachineRegistry& registry, const Machine& machine, Seconds now);
nlohmann::json unitJson(const FinishedUnit& unit);
nlohmann::json commandJson(const CommandEntry& entry);
nlohmann::json dayJson(const DayCount& day);
nlohmann::json groupJson(const GroupTotal& total);
