#include "token.hpp"

#include <random>

bool usableToken(std::string_view token) {
    return token.size() >= 8 && token.find_first_of(" \t\r\n") == std::string_view::npos;
}

std::string generateToken() {
    std::random_device source;
    static constexpr char Digits[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 32; ++i) {
        token.push_back(Digits[source() & 0xf]);
    }
    return token;
}

bool tokensMatch(std::string_view expected, std::string_view given) {
    unsigned difference = expected.size() != given.size() ? 1u : 0u;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        unsigned char other = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
        difference |= static_cast<unsigned char>(expected[i]) ^ other;
    }
    return difference == 0 && !expected.empty();
}

std::string_view bearerToken(std::string_view header) {
    constexpr std::string_view Scheme = "Bearer ";
    if (header.substr(0, Scheme.size()) != Scheme) {
        return {};
    }
    return header.substr(Scheme.size());
}
