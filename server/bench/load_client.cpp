// vigilon_load: many simulated monitors exchanging status records with a
// companion server as fast as the protocol allows, on loopback.
//
//   vigilon_load --port N [--address 127.0.0.1] [--monitors 500] [--seconds 60]
//
// Each monitor is one thread doing the monitor's exchange in a loop: connect,
// read the greeting, send the 2048-byte message, read the reply byte, close.
// Its unit count rises every 100 exchanges, so the server stores finished
// units as well. Prints the exchanges per second, the 50th/99th percentile
// exchange time and the failures. Every socket step has a 10 s limit.

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    std::string address = "127.0.0.1";
    int port = 0;
    int monitors = 500;
    int seconds = 60;
};

struct Tally {
    std::vector<float> millis;
    long failures = 0;
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
        } else {
            return false;
        }
    }
    return s.port > 0 && s.monitors > 0 && s.seconds > 0;
}

int connectTo(const sockaddr_in& server) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool exchange(const sockaddr_in& server, int cpu, int count, int progress) {
    int fd = connectTo(server);
    if (fd < 0) {
        return false;
    }
    char message[2048] = {};
    bool ok = recv(fd, message, sizeof message, 0) > 0;
    std::memset(message, 0, sizeof message);
    std::string record = std::to_string(cpu) + " " + std::to_string(count) + " " +
                         std::to_string(progress) +
                         " p2665_IBX 0 2400.000000 GenuineIntel GRO-SMP 100 1920 load 33 0";
    record.copy(message, sizeof message - 1);
    ok = ok && sendAll(fd, message, sizeof message);
    char reply = 1;
    ok = ok && recv(fd, &reply, 1, 0) == 1 && reply == 0;
    close(fd);
    return ok;
}

void runMonitor(const sockaddr_in& server, int cpu, Clock::time_point end, Tally& tally) {
    for (int n = 0; Clock::now() < end; ++n) {
        auto start = Clock::now();
        bool ok = exchange(server, cpu, 1 + n / 100, n % 100);
        if (ok) {
            std::chrono::duration<float, std::milli> took = Clock::now() - start;
            tally.millis.push_back(took.count());
        } else {
            tally.failures++;
        }
    }
}

float percentile(std::vector<float>& values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(index), values.end());
    return values[index];
}

} // namespace

int main(int argc, char** argv) {
    Settings s;
    if (!parseArguments(argc, argv, s)) {
        std::fprintf(stderr, "usage: vigilon_load --port N [--address A] [--monitors N] "
                             "[--seconds N]\n");
        return 2;
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<unsigned short>(s.port));
    inet_pton(AF_INET, s.address.c_str(), &server.sin_addr);
    std::vector<Tally> tallies(static_cast<std::size_t>(s.monitors));
    std::vector<std::thread> threads;
    auto begin = Clock::now();
    auto end = begin + std::chrono::seconds(s.seconds);
    for (int i = 0; i < s.monitors; ++i) {
        threads.emplace_back(runMonitor, std::cref(server), 1000 + i, end,
                             std::ref(tallies[static_cast<std::size_t>(i)]));
    }
    for (std::thread& t : threads) {
        t.join();
    }
    double elapsed = std::chrono::duration<double>(Clock::now() - begin).count();
    std::vector<float> all;
    long failures = 0;
    for (Tally& t : tallies) {
        all.insert(all.end(), t.millis.begin(), t.millis.end());
        failures += t.failures;
    }
    std::size_t exchanges = all.size();
    std::printf("monitors %d, seconds %.1f, exchanges %zu, failures %ld\n", s.monitors, elapsed,
                exchanges, failures);
    std::printf("records per second %.0f\n", static_cast<double>(exchanges) / elapsed);
    std::printf("exchange time p50 %.2f ms, p99 %.2f ms\n", percentile(all, 0.50),
                percentile(all, 0.99));
    return 0;
}
