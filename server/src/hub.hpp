// Where the companion side, the web side and the history meet: the machine
// registry behind one lock, the store, the counters, and a change signal for
// the dashboard's event stream.
#pragma once

#include "history_store.hpp"
#include "machine_registry.hpp"
#include "source_limits.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

struct HubReply {
    std::string machineId;
    std::optional<unsigned char> reply; // none: close without answering
};

struct HubCounters {
    std::atomic<std::uint64_t> records{0};
    std::atomic<std::uint64_t> malformed{0};
    std::atomic<std::uint64_t> timedOut{0};
    std::atomic<std::uint64_t> refused{0};
    std::atomic<std::uint64_t> commandsSent{0};
    std::atomic<std::uint64_t> unitsFinished{0};
    // Records dropped because they would add a machine over a limit.
    std::atomic<std::uint64_t> overMachineLimit{0};
    // Finished units not stored: over the machine's rate.
    std::atomic<std::uint64_t> unitsOverRate{0};
    // Machines forgotten after 30 days unseen.
    std::atomic<std::uint64_t> forgotten{0};
};

class Hub {
public:
    explicit Hub(HistoryStore& store, std::size_t machineCapacity = MaxMachines);

    // How many finished units of one machine a minute are stored (the rest
    // are counted in unitsOverRate).
    void limitStoredUnits(int perMinute);

    // One received message from a peer; malformed ones are counted, and
    // logged at most once a minute per address (ten lines a minute in all).
    HubReply handleMessage(const std::string& address, std::string_view message, Seconds now);
    // The reply byte went out to the machine.
    void replySent(const std::string& machineId, unsigned char reply, Seconds now);
    QueueResult queueCommand(const std::string& machineId, Command command);

    nlohmann::json machinesJson(Seconds now);
    nlohmann::json historyJson(int days, Seconds now);
    nlohmann::json statsJson();

    // Waits at most `limit` for a change after version `seen`; returns the
    // version now current.
    std::uint64_t waitForChange(std::uint64_t seen, std::chrono::milliseconds limit);
    std::uint64_t version();
    // Wakes every waiter, for shutdown.
    void wakeAll();

    HubCounters& counters() { return counters_; }

private:
    void changed();
    // Forgets long-unseen machines, at most once a minute; under the lock.
    void forgetUnseen(Seconds now);
    // A line for the address, unless the throttle holds it back.
    void logThrottled(LogThrottle& throttle, const std::string& address, const std::string& text,
                      Seconds now);

    HistoryStore& store_;
    MachineRegistry registry_;
    int unitsPerMinute_ = StoredUnitsPerMinute; // set at start, before any peer
    std::mutex mutex_;
    std::condition_variable changedSignal_;
    std::uint64_t version_ = 0;
    HubCounters counters_;
    Seconds lastForget_ = 0;
    std::mutex logMutex_;
    LogThrottle malformedLog_;
    LogThrottle limitLog_;
};
