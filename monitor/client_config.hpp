#pragma once

struct MonitorState;

inline constexpr const char* ClientConfigPath = "../client.cfg";

// Reads machine id, user name and team number from "../client.cfg".
void readClientConfig(MonitorState& state);
