#pragma once

struct MonitorState;

// Collects processor vendor, name and clock and the physical memory once.
void identifySystem(MonitorState& state);
