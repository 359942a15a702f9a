#pragma once

struct MonitorState;

// Reads machine id, user name and team number from "../client.cfg".
void readClientConfig(MonitorState& state);
