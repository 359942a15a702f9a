#include "estimates.hpp"

#include <algorithm>

namespace {
constexpr double SecondsPerDay = 86400.0;
constexpr Seconds MinimumTimedDuration = 60.0;
} // namespace

void UnitProgress::reset(Seconds now, int percent) {
    firstTime_ = latestTime_ = now;
    firstPercent_ = latestPercent_ = clampPercent(percent);
}

void UnitProgress::observe(Seconds now, int percent) {
    int value = clampPercent(percent);
    if (value < latestPercent_) {
        reset(now, value);
    } else if (value > latestPercent_) {
        latestTime_ = now;
        latestPercent_ = value;
    }
}

std::optional<double> UnitProgress::rate() const {
    Seconds elapsed = latestTime_ - firstTime_;
    if (latestPercent_ <= firstPercent_ || elapsed <= 0) {
        return std::nullopt;
    }
    return (latestPercent_ - firstPercent_) / elapsed;
}

std::optional<double> UnitProgress::etaSeconds(Seconds now) const {
    std::optional<double> perSecond = rate();
    if (!perSecond) {
        return std::nullopt;
    }
    double left = (100 - latestPercent_) / *perSecond - (now - latestTime_);
    return std::max(0.0, left);
}

std::optional<double> pointsPerDay(double points, Seconds duration) {
    if (duration < MinimumTimedDuration) {
        return std::nullopt;
    }
    return points * SecondsPerDay / duration;
}

int clampPercent(int percent) {
    return std::clamp(percent, 0, 100);
}
