// Estimates drawn from the records of one machine: the current unit's
// progress rate and time left, and points per day of finished units.
#pragma once

#include "server_clock.hpp"

#include <optional>

// The progress of the current unit, as first seen at each percent value. The
// rate runs from the first value seen to the latest; a value that falls
// starts the sample again (the client restarted the unit).
class UnitProgress {
public:
    void reset(Seconds now, int percent);
    void observe(Seconds now, int percent);

    // Percent per second, once the progress has moved within this unit.
    std::optional<double> rate() const;
    // Seconds until 100 %, counted from now, never below 0.
    std::optional<double> etaSeconds(Seconds now) const;

private:
    Seconds firstTime_ = 0;
    int firstPercent_ = 0;
    Seconds latestTime_ = 0;
    int latestPercent_ = 0;
};

// Points per day from the points of finished units and their total time;
// none until the units add up to at least a minute.
std::optional<double> pointsPerDay(double points, Seconds duration);

// Progress as reported, held within 0-100 for display and estimates.
int clampPercent(int percent);
