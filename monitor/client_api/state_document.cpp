#include "monitor/client_api/state_document.hpp"

#include <cstddef>

using nlohmann::json;

namespace {

constexpr long long AppendValue = -1;
constexpr long long AppendEach = -2;

// The deepest nesting of brackets outside strings, counted without parsing,
// so that hostile depth never reaches the parser.
bool nestingWithin(std::string_view text, int limit) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) {
                return false;
            }
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

bool isIndex(const json& step) {
    return step.is_number_integer();
}

// The container a path step leads to, made when missing (or null) as a list
// when an index follows and as an object otherwise; null when the step
// does not fit the node.
json* stepInto(json& node, const json& step, bool listFollows) {
    json made = listFollows ? json::array() : json::object();
    if (step.is_string() && (node.is_object() || node.is_null())) {
        json& child = node[step.get<std::string>()];
        if (child.is_null()) {
            child = std::move(made);
        }
        return child.is_structured() ? &child : nullptr;
    }
    if (!isIndex(step) || !(node.is_array() || node.is_null())) {
        return nullptr;
    }
    if (node.is_null()) {
        node = json::array();
    }
    long long index = step.get<long long>();
    if (index == AppendValue || index == static_cast<long long>(node.size())) {
        node.push_back(std::move(made));
        return &node.back();
    }
    if (index < 0 || index >= static_cast<long long>(node.size())) {
        return nullptr;
    }
    json& child = node[static_cast<std::size_t>(index)];
    if (child.is_null()) {
        child = std::move(made);
    }
    return child.is_structured() ? &child : nullptr;
}

bool setInObject(json& node, const std::string& key, const json& value) {
    if (value.is_null()) {
        node.erase(key);
    } else {
        node[key] = value;
    }
    return true;
}

bool setInList(json& node, long long index, const json& value) {
    const auto size = static_cast<long long>(node.size());
    if (index == AppendValue) {
        node.push_back(value);
        return true;
    }
    if (index == AppendEach) {
        if (!value.is_array()) {
            return false;
        }
        for (const json& element : value) {
            node.push_back(element);
        }
        return true;
    }
    if (index < 0 || index > size) {
        return false;
    }
    if (value.is_null()) {
        if (index < size) {
            node.erase(static_cast<std::size_t>(index));
        }
    } else if (index == size) {
        node.push_back(value);
    } else {
        node[static_cast<std::size_t>(index)] = value;
    }
    return true;
}

bool setLast(json& node, const json& step, const json& value) {
    if (step.is_string() && (node.is_object() || node.is_null())) {
        if (node.is_null()) {
            node = json::object();
        }
        return setInObject(node, step.get<std::string>(), value);
    }
    if (isIndex(step) && (node.is_array() || node.is_null())) {
        if (node.is_null()) {
            node = json::array();
        }
        return setInList(node, step.get<long long>(), value);
    }
    return false;
}

} // namespace

bool applyStateChange(json& document, const json& change) {
    if (!change.is_array() || change.size() < 2 || !document.is_object()) {
        return false;
    }
    const std::size_t last = change.size() - 2; // the last path step
    json* node = &document;
    for (std::size_t i = 0; i < last && node != nullptr; ++i) {
        node = stepInto(*node, change[i], isIndex(change[i + 1]));
    }
    return node != nullptr && setLast(*node, change[last], change.back());
}

ApiMessage applyApiMessage(json& document, std::string_view text) {
    if (!nestingWithin(text, StateNestingLimit)) {
        return ApiMessage::Malformed;
    }
    json message = json::parse(text, nullptr, false);
    if (message.is_discarded()) {
        return ApiMessage::Malformed;
    }
    if (message.is_object()) {
        document = std::move(message);
        return ApiMessage::State;
    }
    if (message.is_array()) {
        return applyStateChange(document, message) ? ApiMessage::Change : ApiMessage::Malformed;
    }
    if (message.is_string() && message.get_ref<const std::string&>() == "ping") {
        return ApiMessage::Ping;
    }
    return ApiMessage::Ignored;
}
