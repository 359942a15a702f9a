#include "server_clock.hpp"

#include <chrono>
#include <cmath>
#include <ctime>
#include <iomanip>
#include <sstream>

Seconds currentTime() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::string isoTime(Seconds time) {
    double whole = std::floor(time);
    std::time_t seconds = static_cast<std::time_t>(whole);
    int millis = static_cast<int>((time - whole) * 1000.0);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    std::ostringstream text;
    text << std::put_time(&parts, "%Y-%m-%dT%H:%M:%S") << '.' << std::setfill('0') << std::setw(3)
         << millis << 'Z';
    return text.str();
}
