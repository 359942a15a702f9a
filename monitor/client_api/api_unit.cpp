#include "monitor/client_api/api_unit.hpp"

#include "common/text.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

using nlohmann::json;

namespace {

// A whole number member within the int range, else fallback.
long long integerMember(const json& object, const char* key, long long fallback) {
    auto found = object.find(key);
    if (found == object.end() || !found->is_number()) {
        return fallback;
    }
    double value = found->get<double>();
    if (!std::isfinite(value) || value < INT_MIN || value > INT_MAX) {
        return fallback;
    }
    return static_cast<long long>(value);
}

double numberMember(const json& object, const char* key, double fallback) {
    auto found = object.find(key);
    if (found == object.end() || !found->is_number()) {
        return fallback;
    }
    double value = found->get<double>();
    return std::isfinite(value) ? value : fallback;
}

std::string textMember(const json& object, const char* key) {
    auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

const json& objectMember(const json& object, const char* key) {
    static const json none = json::object();
    auto found = object.find(key);
    return found != object.end() && found->is_object() ? *found : none;
}

const json& unitsOf(const json& state) {
    static const json none = json::array();
    if (!state.is_object()) {
        return none;
    }
    auto found = state.find("units");
    return found != state.end() && found->is_array() ? *found : none;
}

void readAssignment(const json& assignment, ApiUnit& out) {
    out.project = static_cast<int>(integerMember(assignment, "project", -1));
    out.coreType = textMember(objectMember(assignment, "core"), "type");
    out.credit = numberMember(assignment, "credit", 0.0);
}

} // namespace

bool readApiUnit(const json& unit, ApiUnit& out) {
    if (!unit.is_object()) {
        return false;
    }
    out = ApiUnit{};
    out.id = textMember(unit, "id");
    out.number = integerMember(unit, "number", LLONG_MAX);
    out.group = textMember(unit, "group");
    out.running = textMember(unit, "state") == "RUN";
    readAssignment(objectMember(unit, "assignment"), out);
    const json& wu = objectMember(unit, "wu");
    out.run = static_cast<int>(integerMember(wu, "run", 0));
    out.clone = static_cast<int>(integerMember(wu, "clone", 0));
    out.gen = static_cast<int>(integerMember(wu, "gen", 0));
    out.progress = numberMember(unit, "wu_progress", numberMember(unit, "progress", 0.0));
    out.state = textMember(unit, "state");
    auto paused = unit.find("paused");
    out.paused = paused != unit.end() && paused->is_boolean() && paused->get<bool>();
    auto eta = unit.find("eta");
    out.etaSeconds = eta != unit.end() ? parseClientDuration(*eta) : -1;
    out.ppd = std::max(0LL, integerMember(unit, "ppd", 0));
    return !out.id.empty() && out.project >= 0;
}

bool findApiUnit(const json& state, const std::string& id, ApiUnit& out) {
    for (const json& unit : unitsOf(state)) {
        if (readApiUnit(unit, out) && out.id == id) {
            return true;
        }
    }
    return false;
}

std::string chooseApiUnit(const json& state, const std::string& followedId,
                          const std::string& group) {
    ApiUnit unit;
    if (!followedId.empty() && findApiUnit(state, followedId, unit) && unit.running &&
        (group.empty() || unit.group == group)) {
        return followedId;
    }
    std::string chosen = followedId;
    long long lowest = LLONG_MAX;
    bool found = false;
    for (const json& element : unitsOf(state)) {
        if (readApiUnit(element, unit) && unit.running && (group.empty() || unit.group == group) &&
            (!found || unit.number < lowest)) {
            chosen = unit.id;
            lowest = unit.number;
            found = true;
        }
    }
    return chosen;
}

std::string apiUnitName(const ApiUnit& unit) {
    char name[64];
    formatText(name, sizeof name, "p%d_R%d_C%d_G%d", unit.project, unit.run, unit.clone, unit.gen);
    return name;
}

int apiUnitPercent(const ApiUnit& unit) {
    // A hair above the product keeps 0.29 at 29, where binary fractions
    // would give 28.999...
    double percent = std::floor(unit.progress * 100.0 + 1e-7);
    return percent < 0.0 ? 0 : (percent > 100.0 ? 100 : static_cast<int>(percent));
}

namespace {

// Seconds per unit word of the client's time texts ("secs", "mins", ...).
long long secondsPerUnit(const char* word) {
    const struct {
        const char* prefix;
        long long seconds;
    } units[] = {{"d", 86400}, {"h", 3600}, {"m", 60}, {"s", 1}};
    for (const auto& unit : units) {
        if (std::strncmp(word, unit.prefix, 1) == 0) {
            return unit.seconds;
        }
    }
    return 0;
}

} // namespace

long long parseClientDuration(const json& value) {
    if (value.is_number()) {
        double seconds = value.get<double>();
        return std::isfinite(seconds) && seconds >= 0 && seconds < 1e12
                   ? static_cast<long long>(seconds)
                   : -1;
    }
    if (!value.is_string()) {
        return -1;
    }
    const std::string& text = value.get_ref<const std::string&>();
    const char* p = text.c_str();
    double total = 0;
    bool any = false;
    while (*p != '\0' && total < 1e12) {
        char* end = nullptr;
        double amount = std::strtod(p, &end);
        if (end == p || !std::isfinite(amount) || amount < 0) {
            return -1;
        }
        while (*end == ' ') {
            ++end;
        }
        long long unit = secondsPerUnit(end);
        if (unit == 0) {
            return -1;
        }
        total += amount * static_cast<double>(unit);
        any = true;
        p = end;
        while (*p != '\0' && *p != ' ') {
            ++p;
        }
        while (*p == ' ') {
            ++p;
        }
    }
    return any && total < 1e12 ? static_cast<long long>(total) : -1;
}
