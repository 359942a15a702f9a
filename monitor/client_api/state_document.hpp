// Today's client's state as the core keeps it: the whole state it sends
// first, then each change it sends, applied in order.
#pragma once

#include <nlohmann/json.hpp>

#include <string_view>

// Deeper nesting than this is not the client's and is refused unread.
inline constexpr int StateNestingLimit = 64;

enum class ApiMessage {
    State,     // a whole state replaced the document
    Change,    // a change was applied
    Ping,      // the client's keep-alive
    Ignored,   // another well-formed message that says nothing of the state
    Malformed, // not JSON, too deep, or a change that cannot be applied: the
               // copy may no longer match the client's, so the caller drops
               // the connection and takes the whole state again
};

// Applies one message of the client to document.
ApiMessage applyApiMessage(nlohmann::json& document, std::string_view text);

// Applies one change: a path of keys and list indices, then the value. A
// null value deletes the key or list element (later elements move down);
// index -1 appends the value, -2 each element of a list value; missing
// containers on the path are made (a list where an index follows). Returns
// false, leaving what was done so far, when the path cannot be followed.
bool applyStateChange(nlohmann::json& document, const nlohmann::json& change);
