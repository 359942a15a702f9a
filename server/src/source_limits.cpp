#include "source_limits.hpp"

#include <arpa/inet.h>
#include <charconv>
#include <cstring>
#include <utility>

namespace {

constexpr std::uint8_t MappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

int bitsOf(const IpAddress& address) {
    return address.v6 ? 128 : 32;
}

} // namespace

IpAddress ipv4Address(const std::uint8_t (&bytes)[4]) {
    IpAddress address;
    std::memcpy(address.bytes.data(), bytes, 4);
    return address;
}

IpAddress ipv6Address(const std::uint8_t (&bytes)[16]) {
    if (std::memcmp(bytes, MappedPrefix, sizeof MappedPrefix) == 0) {
        std::uint8_t four[4];
        std::memcpy(four, bytes + 12, 4);
        return ipv4Address(four);
    }
    IpAddress address;
    address.v6 = true;
    std::memcpy(address.bytes.data(), bytes, 16);
    return address;
}

std::optional<IpAddress> parseIpAddress(std::string_view text) {
    std::string copy(text); // inet_pton needs the zero byte
    std::uint8_t bytes[16];
    if (copy.find(':') == std::string::npos) {
        std::uint8_t four[4];
        if (inet_pton(AF_INET, copy.c_str(), four) != 1) {
            return std::nullopt;
        }
        return ipv4Address(four);
    }
    if (inet_pton(AF_INET6, copy.c_str(), bytes) != 1) {
        return std::nullopt;
    }
    return ipv6Address(bytes);
}

std::optional<AddressRange> parseAddressRange(std::string_view text) {
    std::size_t slash = text.find('/');
    std::optional<IpAddress> base = parseIpAddress(text.substr(0, slash));
    if (!base) {
        return std::nullopt;
    }
    AddressRange range{*base, bitsOf(*base)};
    if (slash != std::string_view::npos) {
        std::string_view digits = text.substr(slash + 1);
        auto [ptr, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), range.prefix);
        if (digits.empty() || ec != std::errc{} || ptr != digits.data() + digits.size() ||
            range.prefix < 0 || range.prefix > bitsOf(*base)) {
            return std::nullopt;
        }
    }
    return range;
}

bool rangeContains(const AddressRange& range, const IpAddress& address) {
    if (range.base.v6 != address.v6) {
        return false;
    }
    int whole = range.prefix / 8;
    if (std::memcmp(range.base.bytes.data(), address.bytes.data(), whole) != 0) {
        return false;
    }
    int rest = range.prefix % 8;
    if (rest == 0) {
        return true;
    }
    auto mask = static_cast<std::uint8_t>(0xff << (8 - rest));
    return (range.base.bytes[whole] & mask) == (address.bytes[whole] & mask);
}

bool AllowList::add(std::string_view list, std::string& error) {
    std::vector<AddressRange> added;
    while (true) {
        std::size_t comma = list.find(',');
        std::string_view item = list.substr(0, comma);
        std::optional<AddressRange> range = parseAddressRange(item);
        if (!range) {
            error = "not an address range: '" + std::string(item) + "'";
            return false;
        }
        added.push_back(*range);
        if (comma == std::string_view::npos) {
            break;
        }
        list.remove_prefix(comma + 1);
    }
    ranges_.insert(ranges_.end(), added.begin(), added.end());
    return true;
}

bool AllowList::allows(const IpAddress& address) const {
    if (ranges_.empty()) {
        return true;
    }
    for (const AddressRange& range : ranges_) {
        if (rangeContains(range, address)) {
            return true;
        }
    }
    return false;
}

bool AddressCounts::add(const std::string& address) {
    auto found = counts_.find(address);
    if (found == counts_.end()) {
        return limit_ > 0 && counts_.emplace(address, 1).second;
    }
    if (found->second >= limit_) {
        return false;
    }
    ++found->second;
    return true;
}

void AddressCounts::remove(const std::string& address) {
    auto found = counts_.find(address);
    if (found != counts_.end() && --found->second == 0) {
        counts_.erase(found);
    }
}

std::size_t AddressCounts::of(const std::string& address) const {
    auto found = counts_.find(address);
    return found == counts_.end() ? 0 : found->second;
}

bool RateWindow::take(Seconds now, int limit, Seconds length) {
    if (count_ == 0 || now >= start_ + length || now < start_) {
        start_ = now;
        count_ = 0;
    }
    if (count_ >= limit) {
        return false;
    }
    ++count_;
    return true;
}

std::optional<std::string> LogThrottle::line(const std::string& key, Seconds now,
                                             const std::string& text) {
    if (!started_ || now >= windowStart_ + length_ || now < windowStart_) {
        started_ = true;
        windowStart_ = now;
        written_.clear();
    }
    if (written_.size() >= total_ || written_.count(key) != 0) {
        ++suppressed_;
        return std::nullopt;
    }
    written_.insert(key);
    std::uint64_t held = std::exchange(suppressed_, 0);
    if (held == 0) {
        return text;
    }
    return text + " (" + std::to_string(held) + " more such lines held back before this one)";
}
