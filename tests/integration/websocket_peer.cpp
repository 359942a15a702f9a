#include "websocket_peer.hpp"

#include "common/sha1.hpp"

namespace loopback {
namespace {

// The largest frame the peer reads from a client.
constexpr std::uint64_t FrameLimit = 16u << 20;

std::string lowerCase(std::string text) {
    for (char& c : text) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
}

} // namespace

std::string encodeFrame(Opcode opcode, std::string_view payload, bool fin) {
    std::string bytes(1, static_cast<char>((fin ? 0x80 : 0) | static_cast<int>(opcode)));
    const std::uint64_t size = payload.size();
    const int lengthBytes = size < 126 ? 0 : size < 65536 ? 2 : 8;
    bytes += static_cast<char>(lengthBytes == 0 ? size : lengthBytes == 2 ? 126 : 127);
    for (int shift = 8 * (lengthBytes - 1); shift >= 0; shift -= 8) {
        bytes += static_cast<char>((size >> shift) & 0xFF);
    }
    return bytes += payload;
}

WebSocketPeer::WebSocketPeer(std::function<void(WebSocketPeer&)> script, bool answer) {
    thread_ = std::thread([this, script, answer] {
        peer_.reset(new Peer(listener_.accept(Patience)));
        // The client sends nothing more before the answer.
        request_ = peer_->receive(Patience, 65536, "\r\n\r\n");
        if (request_.find("\r\n\r\n") != std::string::npos && (!answer || sendRaw(rightAnswer())) &&
            script) {
            script(*this);
        }
    });
}

std::optional<std::string> WebSocketPeer::header(const std::string& name) const {
    const std::string label = "\r\n" + lowerCase(name) + ":";
    std::size_t start = lowerCase(request_).find(label);
    if (start == std::string::npos) {
        return std::nullopt;
    }
    start += label.size();
    std::string value = request_.substr(start, request_.find("\r\n", start) - start);
    value.erase(0, value.find_first_not_of(" \t"));
    return value.erase(value.find_last_not_of(" \t") + 1);
}

std::string WebSocketPeer::upgradeAnswer(const std::string& acceptValue) {
    return "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
           "Sec-WebSocket-Accept: " +
           acceptValue + "\r\n\r\n";
}

std::string WebSocketPeer::rightAnswer() const {
    return upgradeAnswer(webSocketAccept(header("Sec-WebSocket-Key").value_or("")));
}

bool WebSocketPeer::receiveExactly(std::string& bytes, std::size_t size, long long deadline) {
    bytes.clear();
    while (bytes.size() < size) {
        long long left = deadline - steadyMilliseconds();
        std::string piece =
            left > 0 ? peer_->receive(static_cast<int>(left), size - bytes.size()) : std::string();
        if (piece.empty()) {
            return false; // closed, or nothing in time
        }
        bytes += piece;
    }
    return true;
}

std::string WebSocketPeer::next(Opcode opcode, int timeoutMilliseconds) {
    const long long deadline = steadyMilliseconds() + timeoutMilliseconds;
    std::string head;
    std::string payload;
    std::string mask;
    if (!peer_ || !receiveExactly(head, 2, deadline)) {
        return "(none)";
    }
    const bool masked = (head[1] & 0x80) != 0;
    const bool whole =
        masked && (head[0] & 0x80) != 0 && (head[0] & 0x0F) == static_cast<int>(opcode);
    std::uint64_t size = static_cast<std::uint8_t>(head[1]) & 0x7F;
    if (size >= 126) {
        if (!receiveExactly(head, size == 126 ? 2 : 8, deadline)) {
            return "(none)";
        }
        size = 0;
        for (char byte : head) {
            size = size << 8 | static_cast<std::uint8_t>(byte);
        }
    }
    if (size > FrameLimit || !receiveExactly(mask, masked ? 4 : 0, deadline) ||
        !receiveExactly(payload, static_cast<std::size_t>(size), deadline)) {
        return "(none)";
    }
    for (std::size_t i = 0; masked && i < payload.size(); ++i) {
        payload[i] = static_cast<char>(payload[i] ^ mask[i % 4]);
    }
    return whole ? payload : "(none)";
}

ApiConnection openApi(std::uint16_t port, int limit, const char* path) {
    return ApiConnection(platform::openClientApi("127.0.0.1", port, path, limit));
}

std::vector<std::string> receive(platform::ClientApiConnection* c, std::size_t count) {
    std::vector<std::string> messages;
    const long long deadline = steadyMilliseconds() + Patience;
    std::string message;
    while (messages.size() < count && steadyMilliseconds() < deadline) {
        platform::ClientApiRead read = platform::takeClientApiMessage(c, message);
        if (read == platform::ClientApiRead::Closed) {
            break;
        }
        if (read == platform::ClientApiRead::Message) {
            messages.push_back(message);
        } else {
            platform::waitForClientApi(c, 20);
            platform::receiveClientApi(c);
        }
    }
    return messages;
}

} // namespace loopback
