#include "event_stream.hpp"

#include "server_clock.hpp"

#include <httplib.h>

#include <chrono>
#include <memory>
#include <thread>

namespace {
using namespace std::chrono_literals;
constexpr auto WakeEvery = 1000ms;
constexpr auto ShortestGap = 250ms;
constexpr auto RefreshEvery = 5s;

struct StreamState {
    std::uint64_t seenVersion = ~std::uint64_t{0};
    std::chrono::steady_clock::time_point lastSent{};
};
} // namespace

std::string EventStream::snapshotEvent() {
    nlohmann::json body = {{"machines", hub_.machinesJson(currentTime())},
                           {"unitsFinished", hub_.counters().unitsFinished.load()},
                           {"commandsSent", hub_.counters().commandsSent.load()}};
    return "event: machines\ndata: " +
           body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n\n";
}

bool EventStream::attach(httplib::Response& response) {
    if (clients_.fetch_add(1) >= maxClients_) {
        clients_--;
        return false;
    }
    auto state = std::make_shared<StreamState>();
    response.set_header("Cache-Control", "no-store");
    response.set_chunked_content_provider(
        "text/event-stream",
        [this, state](std::size_t, httplib::DataSink& sink) {
            std::uint64_t version = hub_.waitForChange(state->seenVersion, WakeEvery);
            if (stopping_ || !sink.is_writable()) {
                return false;
            }
            auto now = std::chrono::steady_clock::now();
            if (version == state->seenVersion && now - state->lastSent < RefreshEvery) {
                return true;
            }
            if (now - state->lastSent < ShortestGap) {
                std::this_thread::sleep_for(ShortestGap - (now - state->lastSent));
            }
            state->seenVersion = hub_.version();
            state->lastSent = std::chrono::steady_clock::now();
            std::string event = snapshotEvent();
            return sink.write(event.data(), event.size());
        },
        [this](bool) { clients_--; });
    return true;
}

void EventStream::stop() {
    stopping_ = true;
    hub_.wakeAll();
}
