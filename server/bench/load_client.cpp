// vigilon_load: simulated monitors exchanging status records with a
// companion server on loopback, all driven by one epoll loop on one thread:
// non-blocking sockets, as many exchanges in flight as there are monitors.
//
//   vigilon_load --port N [--address 127.0.0.1] [--monitors 500] [--seconds 60]
//                [--interval-ms 0] [--per-source 50] [--first-source 127.1.0.1]
//
// Each exchange is the monitor's: connect, read the greeting, send the
// 2048-byte message, read the reply byte, close. With --interval-ms 0 a
// monitor starts its next exchange as soon as one ends (as fast as the
// protocol allows); otherwise it starts one every interval, the monitors'
// first exchanges spread evenly over the first interval.
//
// Monitor i reports CPU number i from source address first-source + i /
// per-source (bound before connect), so each is a machine of its own to the
// server (address + CPU number) and no address carries more than per-source
// monitors. Its unit count rises every 100 exchanges, so the server stores
// finished units too. Every exchange has the monitor's 10 s limit.
//
// Prints the exchanges per second, the 50th/99th percentile exchange time
// (connect to reply byte), the failures by kind, how late the generator
// started exchanges against their schedule, and its own CPU time. A
// benchmark: it asserts nothing and exits 0 whatever it measured.

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <netinet/in.h>
#include <queue>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

constexpr std::size_t MessageSize = 2048; // companion::MessageSize
constexpr auto ExchangeLimit = std::chrono::seconds(10);
constexpr auto SweepEvery = std::chrono::milliseconds(100);
constexpr int EventsPerWait = 512;
constexpr int ExchangesPerUnit = 100;

struct Settings {
    std::string address = "127.0.0.1";
    int port = 0;
    int monitors = 500;
    int seconds = 60;
    int intervalMs = 0;
    int perSource = 50;
    std::string firstSource = "127.1.0.1";
};

enum class Stage { Idle, Connecting, Greeting, Sending, Reply };
enum class Failure { Connect, NoReply, TimedOut };

struct Monitor {
    int cpu = 0;
    in_addr source{};
    int fd = -1;
    Stage stage = Stage::Idle;
    Clock::time_point due;     // when the current or next exchange is to start
    Clock::time_point started; // when its connect was called
    std::size_t sent = 0;
    int exchanges = 0;
};

struct Tally {
    std::vector<float> millis; // exchange times
    std::vector<float> lag;    // start minus schedule
    long connectFailed = 0;
    long noReply = 0;
    long timedOut = 0;
    long failures() const { return connectFailed + noReply + timedOut; }
};

bool parseArguments(int argc, char** argv, Settings& s) {
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string name = argv[i];
        std::string value = argv[i + 1];
        if (name == "--address") {
            s.address = value;
        } else if (name == "--port") {
            s.port = std::stoi(value);
        } else if (name == "--monitors") {
            s.monitors = std::stoi(value);
        } else if (name == "--seconds") {
            s.seconds = std::stoi(value);
        } else if (name == "--interval-ms") {
            s.intervalMs = std::stoi(value);
        } else if (name == "--per-source") {
            s.perSource = std::stoi(value);
        } else if (name == "--first-source") {
            s.firstSource = value;
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && s.port > 0 && s.monitors > 0 && s.seconds > 0 && s.intervalMs >= 0 &&
           s.perSource > 0;
}

// Many monitors in flight need more descriptors than the usual soft limit.
void raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// The record of a monitor folding on CPU cpu, with a unit count and progress.
void writeRecord(char* message, int cpu, int exchanges) {
    std::memset(message, 0, MessageSize);
    std::snprintf(message, MessageSize,
                  "%d %d %d p2665_IBX 0 2400.000000 GenuineIntel GRO-SMP 100 1920 load 33 0", cpu,
                  1 + exchanges / ExchangesPerUnit, exchanges % ExchangesPerUnit);
}

float percentile(std::vector<float>& values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(index), values.end());
    return values[index];
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

class Generator {
public:
    Generator(const Settings& s, const sockaddr_in& server) : settings_(s), server_(server) {
        epoll_ = epoll_create1(EPOLL_CLOEXEC);
    }
    ~Generator() { close(epoll_); }
    Generator(const Generator&) = delete;
    Generator& operator=(const Generator&) = delete;

    bool prepare(std::string& error);
    void run();
    Tally& tally() { return tally_; }
    double elapsed() const { return Millis(finished_ - begin_).count() / 1000; }
    std::string sourceRange() const;

private:
    using Due = std::pair<Clock::time_point, std::size_t>;

    void scheduleFirst();
    void startDue(Clock::time_point now);
    void start(Monitor& m, Clock::time_point now);
    void advance(Monitor& m, std::uint32_t events);
    bool connected(Monitor& m, std::uint32_t events);
    bool greeted(Monitor& m);
    void sentMessage(Monitor& m);
    bool replied(Monitor& m);
    void succeed(Monitor& m);
    void fail(Monitor& m, Failure why);
    void end(Monitor& m);
    void sweep(Clock::time_point now);
    int waitMillis(Clock::time_point now) const;

    Settings settings_;
    sockaddr_in server_;
    int epoll_ = -1;
    std::vector<Monitor> monitors_;
    std::priority_queue<Due, std::vector<Due>, std::greater<>> schedule_;
    std::size_t inFlight_ = 0;
    char message_[MessageSize] = {};
    Clock::time_point begin_, stopStarting_, finished_;
    Tally tally_;
};

// Monitor i: CPU number i at source address first-source + i / per-source.
bool Generator::prepare(std::string& error) {
    in_addr first{};
    if (inet_pton(AF_INET, settings_.firstSource.c_str(), &first) != 1) {
        error = "not an IPv4 address: " + settings_.firstSource;
        return false;
    }
    std::uint32_t base = ntohl(first.s_addr);
    std::uint32_t groups =
        static_cast<std::uint32_t>((settings_.monitors - 1) / settings_.perSource);
    if (base >> 24 != 127 || (base + groups) >> 24 != 127) {
        error = "the source addresses must lie within 127.0.0.0/8";
        return false;
    }
    monitors_.resize(static_cast<std::size_t>(settings_.monitors));
    for (std::size_t i = 0; i < monitors_.size(); ++i) {
        monitors_[i].cpu = static_cast<int>(i);
        std::uint32_t group =
            static_cast<std::uint32_t>(i) / static_cast<std::uint32_t>(settings_.perSource);
        monitors_[i].source.s_addr = htonl(base + group);
    }
    return true;
}

std::string Generator::sourceRange() const {
    char first[INET_ADDRSTRLEN] = "", last[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &monitors_.front().source, first, sizeof first);
    inet_ntop(AF_INET, &monitors_.back().source, last, sizeof last);
    return std::string(first) + " to " + last;
}

void Generator::run() {
    begin_ = Clock::now();
    stopStarting_ = begin_ + std::chrono::seconds(settings_.seconds);
    scheduleFirst();
    epoll_event events[EventsPerWait];
    Clock::time_point lastSweep = begin_;
    while (true) {
        Clock::time_point now = Clock::now();
        startDue(now);
        if (now >= stopStarting_ && inFlight_ == 0) {
            break;
        }
        if (now - lastSweep >= SweepEvery) {
            sweep(now);
            lastSweep = now;
        }
        int count = epoll_wait(epoll_, events, EventsPerWait, waitMillis(now));
        for (int i = 0; i < count; ++i) {
            advance(monitors_[events[i].data.u32], events[i].events);
        }
    }
    finished_ = Clock::now();
}

// Back to back: all at once. Else spread evenly over the first interval.
void Generator::scheduleFirst() {
    auto interval = std::chrono::milliseconds(settings_.intervalMs);
    for (std::size_t i = 0; i < monitors_.size(); ++i) {
        auto offset = interval * static_cast<long>(i) / static_cast<long>(monitors_.size());
        monitors_[i].due = begin_ + std::chrono::duration_cast<Clock::duration>(offset);
        schedule_.emplace(monitors_[i].due, i);
    }
}

void Generator::startDue(Clock::time_point now) {
    while (!schedule_.empty() && schedule_.top().first <= now && now < stopStarting_) {
        std::size_t index = schedule_.top().second;
        schedule_.pop();
        start(monitors_[index], now);
    }
}

int Generator::waitMillis(Clock::time_point now) const {
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(SweepEvery);
    if (!schedule_.empty() && now < stopStarting_) {
        auto untilDue = std::chrono::ceil<std::chrono::milliseconds>(schedule_.top().first - now);
        wait = std::clamp(untilDue, std::chrono::milliseconds(0), wait);
    }
    return static_cast<int>(wait.count());
}

void Generator::start(Monitor& m, Clock::time_point now) {
    tally_.lag.push_back(static_cast<float>(Millis(now - m.due).count()));
    m.started = now;
    m.sent = 0;
    m.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    m.stage = Stage::Connecting;
    ++inFlight_;
    if (m.fd < 0) {
        fail(m, Failure::Connect);
        return;
    }
    // The port is chosen at connect, for this source and the server's
    // address together, not at bind for the source alone.
    int on = 1;
    setsockopt(m.fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_addr = m.source;
    const auto* serverAddress = reinterpret_cast<const sockaddr*>(&server_);
    if (bind(m.fd, reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0 ||
        (connect(m.fd, serverAddress, sizeof server_) != 0 && errno != EINPROGRESS)) {
        fail(m, Failure::Connect);
        return;
    }
    epoll_event event{};
    event.events = EPOLLIN | EPOLLOUT | EPOLLET;
    event.data.u32 = static_cast<std::uint32_t>(&m - monitors_.data());
    epoll_ctl(epoll_, EPOLL_CTL_ADD, m.fd, &event);
}

// Edge-triggered: a stage waits for its edge (writable once connected,
// readable for the greeting and the reply) and goes as far as the socket
// allows. Reads wait for a readable edge: the reply cannot be in before the
// message is out, so trying at once would only cost a call.
void Generator::advance(Monitor& m, std::uint32_t events) {
    bool readable = (events & (EPOLLIN | EPOLLERR | EPOLLHUP)) != 0;
    if (m.stage == Stage::Connecting && !connected(m, events)) {
        return;
    }
    if (m.stage == Stage::Greeting && !(readable && greeted(m))) {
        return;
    }
    if (m.stage == Stage::Sending) {
        sentMessage(m);
        return; // the reply comes with a later edge
    }
    if (m.stage == Stage::Reply && readable && replied(m)) {
        succeed(m);
    }
}

// An error on the socket before the greeting: refused, reset, out of ports.
bool Generator::connected(Monitor& m, std::uint32_t events) {
    if ((events & EPOLLERR) != 0) {
        fail(m, Failure::Connect);
        return false;
    }
    if ((events & (EPOLLOUT | EPOLLHUP)) == 0) {
        return false;
    }
    m.stage = Stage::Greeting;
    return true;
}

bool Generator::greeted(Monitor& m) {
    char greeting[128];
    ssize_t count = recv(m.fd, greeting, sizeof greeting, 0);
    if (count < 0 && errno == EAGAIN) {
        return false;
    }
    if (count <= 0) {
        fail(m, Failure::NoReply);
        return false;
    }
    m.stage = Stage::Sending;
    return true;
}

void Generator::sentMessage(Monitor& m) {
    while (m.sent < MessageSize) {
        // One buffer for all: written afresh for each send (a resumed one too).
        writeRecord(message_, m.cpu, m.exchanges);
        ssize_t count = send(m.fd, message_ + m.sent, MessageSize - m.sent, MSG_NOSIGNAL);
        if (count < 0 && errno == EAGAIN) {
            return;
        }
        if (count <= 0) {
            fail(m, Failure::NoReply);
            return;
        }
        m.sent += static_cast<std::size_t>(count);
    }
    m.stage = Stage::Reply;
}

bool Generator::replied(Monitor& m) {
    char reply = 0;
    ssize_t count = recv(m.fd, &reply, 1, 0);
    if (count < 0 && errno == EAGAIN) {
        return false;
    }
    if (count != 1) {
        fail(m, Failure::NoReply); // closed unanswered: refused, or malformed
        return false;
    }
    return true;
}

void Generator::succeed(Monitor& m) {
    tally_.millis.push_back(static_cast<float>(Millis(Clock::now() - m.started).count()));
    m.exchanges++;
    end(m);
}

void Generator::fail(Monitor& m, Failure why) {
    long& counter = why == Failure::Connect   ? tally_.connectFailed
                    : why == Failure::NoReply ? tally_.noReply
                                              : tally_.timedOut;
    counter++;
    end(m);
}

// Closes the exchange and schedules the monitor's next: at once when back
// to back, else one interval after this one was due.
void Generator::end(Monitor& m) {
    if (m.fd >= 0) {
        close(m.fd);
        m.fd = -1;
    }
    m.stage = Stage::Idle;
    --inFlight_;
    Clock::time_point now = Clock::now();
    m.due =
        settings_.intervalMs == 0 ? now : m.due + std::chrono::milliseconds(settings_.intervalMs);
    schedule_.emplace(m.due, static_cast<std::size_t>(&m - monitors_.data()));
}

void Generator::sweep(Clock::time_point now) {
    for (Monitor& m : monitors_) {
        if (m.stage != Stage::Idle && now - m.started >= ExchangeLimit) {
            fail(m, Failure::TimedOut);
        }
    }
}

void report(const Settings& s, Generator& generator, double cpu) {
    Tally& t = generator.tally();
    double elapsed = generator.elapsed();
    std::string pace = s.intervalMs == 0
                           ? "back to back"
                           : "one record every " + std::to_string(s.intervalMs) + " ms each";
    std::printf("monitors %d from %s, %s, %.1f s\n", s.monitors, generator.sourceRange().c_str(),
                pace.c_str(), elapsed);
    std::printf("exchanges %zu, failed %ld (connect %ld, closed unanswered %ld, timed out %ld)\n",
                t.millis.size(), t.failures(), t.connectFailed, t.noReply, t.timedOut);
    std::printf("records per second %.0f\n", static_cast<double>(t.millis.size()) / elapsed);
    std::printf("exchange time p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", percentile(t.millis, 0.50),
                percentile(t.millis, 0.99), percentile(t.millis, 1.0));
    std::printf("generator start lag p99 %.2f ms, CPU %.1f s (%.0f%% of one core)\n",
                percentile(t.lag, 0.99), cpu, 100 * cpu / elapsed);
}

} // namespace

int main(int argc, char** argv) {
    Settings s;
    if (!parseArguments(argc, argv, s)) {
        std::fprintf(stderr, "usage: vigilon_load --port N [--address A] [--monitors N] "
                             "[--seconds N] [--interval-ms N] [--per-source N] "
                             "[--first-source A]\n");
        return 2;
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(s.port));
    if (inet_pton(AF_INET, s.address.c_str(), &server.sin_addr) != 1) {
        std::fprintf(stderr, "vigilon_load: not an IPv4 address: %s\n", s.address.c_str());
        return 2;
    }
    raiseDescriptorLimit();
    Generator generator(s, server);
    std::string error;
    if (!generator.prepare(error)) {
        std::fprintf(stderr, "vigilon_load: %s\n", error.c_str());
        return 2;
    }
    double cpuBefore = cpuSeconds();
    generator.run();
    report(s, generator, cpuSeconds() - cpuBefore);
    return 0;
}
