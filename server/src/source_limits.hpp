// Limits per source address on the companion side: which addresses may
// report (--allow), how much each may hold (connections, machines), and the
// small counters behind the per-machine unit rate and the log's rate. No
// sockets here: the listener and the registry use these.
#pragma once

#include "server_clock.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct IpAddress {
    bool v6 = false;
    std::array<std::uint8_t, 16> bytes{}; // an IPv4 address in the first four
};

// From the network's bytes; an IPv4-mapped IPv6 address (::ffff:a.b.c.d, what
// a dual-stack listener sees of an IPv4 peer) gives the IPv4 address.
IpAddress ipv4Address(const std::uint8_t (&bytes)[4]);
IpAddress ipv6Address(const std::uint8_t (&bytes)[16]);
// "192.168.1.7", "::1", "::ffff:10.0.0.1" (taken as 10.0.0.1).
std::optional<IpAddress> parseIpAddress(std::string_view text);

// A range in CIDR form: "192.168.1.0/24", "fd00::/8"; an address alone is
// the range of that address only. Bits past the prefix are ignored.
struct AddressRange {
    IpAddress base;
    int prefix = 0;
};
std::optional<AddressRange> parseAddressRange(std::string_view text);
bool rangeContains(const AddressRange& range, const IpAddress& address);

// The addresses that may report (--allow). Empty allows everyone.
class AllowList {
public:
    // Adds comma-separated ranges; a bad one adds none of them and gives
    // false and the reason in error.
    bool add(std::string_view list, std::string& error);
    bool empty() const { return ranges_.empty(); }
    bool allows(const IpAddress& address) const;

private:
    std::vector<AddressRange> ranges_;
};

// How many things (connections, machines) each source address holds, each
// within the same limit. Addresses holding none take no room.
class AddressCounts {
public:
    explicit AddressCounts(std::size_t limit) : limit_(limit) {}
    // False, counting nothing, when the address already holds the limit.
    bool add(const std::string& address);
    void remove(const std::string& address);
    std::size_t of(const std::string& address) const;
    std::size_t addresses() const { return counts_.size(); }

private:
    std::size_t limit_;
    std::unordered_map<std::string, std::size_t> counts_;
};

// At most `limit` events in a window of `length` seconds; a window starts at
// the first event after the previous one has ended.
class RateWindow {
public:
    // True when the event is within the rate (and counts it).
    bool take(Seconds now, int limit, Seconds length);

private:
    Seconds start_ = 0;
    int count_ = 0;
};

// Keeps a flood of alike log lines short: within each window of `length`
// seconds at most one line per key (source address) and at most `total`
// lines in all. Keys are held only for lines written, so memory stays within
// `total` keys.
class LogThrottle {
public:
    LogThrottle(std::size_t total, Seconds length) : total_(total), length_(length) {}
    // The line to write now for the key: the text, with the number of lines
    // held back (of all keys) since the last one written; none when this one
    // is held back.
    std::optional<std::string> line(const std::string& key, Seconds now, const std::string& text);

private:
    std::size_t total_;
    Seconds length_;
    Seconds windowStart_ = 0;
    bool started_ = false;
    std::unordered_set<std::string> written_;
    std::uint64_t suppressed_ = 0;
};
