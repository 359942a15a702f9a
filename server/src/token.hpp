// The token that command requests must carry.
#pragma once

#include <string>
#include <string_view>

// 32 hex digits from the system's random source.
std::string generateToken();

// A token given by the user: 8 characters or more, no blanks.
bool usableToken(std::string_view token);

// Compares in time that depends only on the expected token's length.
bool tokensMatch(std::string_view expected, std::string_view given);

// The token of an "Authorization: Bearer <token>" header value, or "".
std::string_view bearerToken(std::string_view header);
