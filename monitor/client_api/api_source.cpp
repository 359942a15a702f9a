#include "monitor/client_api/api_source.hpp"

#include "common/stream_reader.hpp"
#include "common/text.hpp"
#include "monitor/client_api/api_unit.hpp"
#include "monitor/client_api/state_document.hpp"
#include "monitor/client_config.hpp"
#include "monitor/event_log.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/unit_change.hpp"
#include "platform/client_api.hpp"
#include "platform/clock.hpp"
#include "platform/stop.hpp"
#include "platform/wait_hook.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

struct ClientApiSource {
    char host[32] = {};
    std::uint16_t port = 0;
    platform::ClientApiConnection* connection = nullptr;
    nlohmann::json state;
    bool haveState = false;
    std::string followedId;
    bool identityFromState = false; // no client.cfg: user and team come from the state
    std::time_t lastCommandTime = 0;
};

namespace {

constexpr int WaitSliceMilliseconds = 100;
constexpr int ReconnectStateMilliseconds = 1000;

void dropConnection(ClientApiSource& api) {
    platform::closeClientApi(api.connection);
    api.connection = nullptr;
    api.haveState = false;
    api.state = nullptr;
}

// The user and team of the client's configuration, where client.cfg gives
// none. Blanks would split the status record's user field, so they become
// underscores.
void takeIdentity(MonitorState& s, const nlohmann::json& state) {
    const nlohmann::json* config = nullptr;
    auto found = state.find("config");
    if (found != state.end() && found->is_object()) {
        config = &*found;
    }
    if (config == nullptr) {
        return;
    }
    auto user = config->find("user");
    if (user != config->end() && user->is_string()) {
        std::string name = user->get<std::string>();
        for (char& c : name) {
            c = (c == ' ' || c == '\t') ? '_' : c;
        }
        copyText(s.userName, name.c_str());
    }
    auto team = config->find("team");
    if (team != config->end() && team->is_number_integer()) {
        long long value = team->get<long long>();
        s.teamNumber = value < 0 || value > INT_MAX ? 0 : static_cast<int>(value);
    }
}

// Takes every message that has arrived. A broken connection or input that
// cannot be applied drops the connection; the next update connects again
// and receives the whole state anew.
void takeMessages(MonitorState& s, ClientApiSource& api) {
    platform::receiveClientApi(api.connection);
    std::string message;
    while (api.connection != nullptr) {
        platform::ClientApiRead read = platform::takeClientApiMessage(api.connection, message);
        if (read == platform::ClientApiRead::Nothing) {
            return;
        }
        ApiMessage applied = read == platform::ClientApiRead::Message
                                 ? applyApiMessage(api.state, message)
                                 : ApiMessage::Malformed;
        if (applied == ApiMessage::Malformed) {
            dropConnection(api);
        } else if (applied == ApiMessage::State) {
            api.haveState = true;
            if (api.identityFromState) {
                takeIdentity(s, api.state);
            }
        }
    }
}

// Waits in slices until the state has come, the connection is lost, a stop
// request arrives or the time is up.
void awaitState(MonitorState& s, ClientApiSource& api, int milliseconds) {
    for (int waited = 0; waited < milliseconds && !api.haveState && api.connection != nullptr &&
                         !platform::stopRequested();
         waited += WaitSliceMilliseconds) {
        platform::waitForClientApi(api.connection, WaitSliceMilliseconds);
        takeMessages(s, api);
        platform::serviceWaitHook(); // the window lives while the state is awaited
    }
}

void connect(ClientApiSource& api) {
    api.connection =
        platform::openClientApi(api.host, api.port, ClientApiPath, ClientApiConnectMilliseconds);
    api.haveState = false;
}

// The first unit seen after a start without one: counted and looked up
// like the start-up read's, and the start entry that waited for it.
void beginFirstUnit(MonitorState& s) {
    s.unitStartTime = platform::currentTime();
    ++s.unitCount;
    lookupCurrentUnit(s);
    if (s.startEntryPending != 0) {
        s.startEntryPending = 0;
        writeStartEntry(s);
    }
}

void showUnit(MonitorState& s, const ApiUnit& unit) {
    copyText(s.unitName, apiUnitName(unit).c_str());
    s.progressPercent = apiUnitPercent(unit);
    s.unitFromApi = 1;
    copyText(s.apiCoreType, unit.coreType.c_str());
    copyText(s.apiUnitState, unit.state.c_str());
    s.apiUnitPaused = unit.paused ? 1 : 0;
    s.apiEtaSeconds = unit.etaSeconds;
    s.apiPointsPerDay = unit.ppd;
    formatText(s.apiUnitPrcg, sizeof s.apiUnitPrcg, "%d/%d/%d/%d", unit.project, unit.run,
               unit.clone, unit.gen);
    s.apiCredit =
        unit.credit >= INT_MAX ? INT_MAX : (unit.credit > 0 ? static_cast<int>(unit.credit) : 0);
}

// Follows the chosen unit; a new one is a unit change.
void followUnit(MonitorState& s, ClientApiSource& api) {
    std::string chosen = chooseApiUnit(api.state, api.followedId, s.clientApiGroup);
    ApiUnit unit;
    if (chosen.empty() || !findApiUnit(api.state, chosen, unit)) {
        return; // nothing runs, or the followed unit is gone: it stays shown
    }
    char nameBefore[sizeof s.previousUnitName];
    formatText(nameBefore, sizeof nameBefore, "%.35s", s.unitName);
    showUnit(s, unit);
    copyText(s.previousUnitName, nameBefore);
    if (chosen == api.followedId) {
        return;
    }
    api.followedId = chosen;
    if (s.unitCount == 0 && s.firstRun == 0) {
        beginFirstUnit(s);
    } else {
        changeUnit(s);
    }
}

// The moment in UTC, copied out of gmtime's shared buffer.
bool toUtc(std::time_t when, std::tm& utc) {
    std::tm* shared = std::gmtime(&when); // one thread: the buffer is ours alone
    if (shared == nullptr) {
        return false;
    }
    utc = *shared;
    return true;
}

bool isDottedAddress(const char* text) {
    int parts = 0;
    int digits = 0;
    int value = 0;
    for (const char* p = text;; ++p) {
        if (*p >= '0' && *p <= '9' && digits < 3) {
            value = value * 10 + (*p - '0');
            ++digits;
        } else if ((*p == '.' || *p == '\0') && digits > 0 && value <= 255) {
            ++parts;
            digits = 0;
            value = 0;
            if (*p == '\0') {
                return parts == 4;
            }
        } else {
            return false;
        }
    }
}

} // namespace

UnitSource parseUnitSource(const char* setting, char* host, std::size_t hostCapacity,
                           std::uint16_t& port) {
    copyText(host, hostCapacity, DefaultClientApiHost);
    port = DefaultClientApiPort;
    if (setting[0] == '\0') {
        return UnitSource::FileThenApi;
    }
    if (std::strcmp(setting, "0") == 0) {
        return UnitSource::File;
    }
    if (std::strcmp(setting, "1") == 0) {
        return UnitSource::Api;
    }
    char name[64];
    copyText(name, setting);
    if (char* colon = std::strchr(name, ':'); colon != nullptr) {
        *colon = '\0';
        char* end = nullptr;
        long value = std::strtol(colon + 1, &end, 10);
        if (end == colon + 1 || *end != '\0' || value < 1 || value > 65535) {
            return UnitSource::File;
        }
        port = static_cast<std::uint16_t>(value);
    }
    if (std::strcmp(name, "localhost") == 0 || name[0] == '\0') {
        return UnitSource::Api;
    }
    if (!isDottedAddress(name)) {
        return UnitSource::File;
    }
    copyText(host, hostCapacity, name);
    return UnitSource::Api;
}

bool startClientApi(MonitorState& s, const char* host, std::uint16_t port,
                    int firstStateMilliseconds) {
    if (s.clientApi == nullptr) {
        s.clientApi = new ClientApiSource;
    }
    ClientApiSource& api = *s.clientApi;
    copyText(api.host, host);
    api.port = port;
    api.identityFromState = !fileCanBeRead(ClientConfigPath);
    connect(api);
    awaitState(s, api, firstStateMilliseconds);
    if (api.haveState) {
        followUnit(s, api);
    }
    return api.haveState;
}

int pollClientApi(MonitorState& s) {
    ClientApiSource& api = *s.clientApi;
    if (api.connection == nullptr) {
        connect(api);
        awaitState(s, api, ReconnectStateMilliseconds);
    }
    takeMessages(s, api);
    if (!api.haveState) {
        return 0;
    }
    followUnit(s, api);
    return 1;
}

bool sendClientState(MonitorState& s, const char* folding) {
    if (s.clientApi == nullptr || s.clientApi->connection == nullptr) {
        return false;
    }
    ClientApiSource& api = *s.clientApi;
    std::time_t when = std::max(platform::currentTime(), api.lastCommandTime + 1);
    std::tm utc{};
    if (!toUtc(when, utc)) {
        return false;
    }
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    nlohmann::json command = {{"cmd", "state"}, {"state", folding}, {"time", stamp}};
    if (!platform::sendClientApiMessage(api.connection, command.dump())) {
        return false;
    }
    api.lastCommandTime = when;
    return true;
}

void waitWithClientApi(MonitorState& s, int milliseconds) {
    if (s.clientApi == nullptr) {
        platform::sleepMilliseconds(milliseconds);
        return;
    }
    platform::waitForClientApi(s.clientApi->connection, milliseconds);
}

void stopClientApi(MonitorState& s) {
    if (s.clientApi == nullptr) {
        return;
    }
    platform::closeClientApi(s.clientApi->connection);
    delete s.clientApi;
    s.clientApi = nullptr;
}
