#include "platform/fake/fake_client_api.hpp"

#include "platform/client_api.hpp"
#include "platform/clock.hpp"

namespace fake {
namespace {
ClientApi* current = new ClientApi; // never freed: lives for the test process
}

ClientApi& clientApi() {
    return *current;
}

void resetClientApi() {
    *current = ClientApi{};
}

} // namespace fake

namespace platform {

struct ClientApiConnection {
    bool closed = false;
};

ClientApiConnection* openClientApi(const char* dottedAddress, std::uint16_t port, const char* path,
                                   int /*timeoutMilliseconds*/) {
    fake::ClientApi& api = fake::clientApi();
    api.lastAddress = std::string(dottedAddress) + ":" + std::to_string(port) + path;
    ++api.opens;
    if (!api.listening) {
        return nullptr;
    }
    api.open = true;
    api.messages.assign(api.onOpen.begin(), api.onOpen.end());
    return new ClientApiConnection;
}

void receiveClientApi(ClientApiConnection* /*connection*/) {}

ClientApiRead takeClientApiMessage(ClientApiConnection* connection, std::string& message) {
    fake::ClientApi& api = fake::clientApi();
    if (connection->closed) {
        return ClientApiRead::Closed;
    }
    if (api.messages.empty()) {
        return ClientApiRead::Nothing;
    }
    message = api.messages.front();
    api.messages.pop_front();
    if (message == "<closed>") {
        connection->closed = true;
        return ClientApiRead::Closed;
    }
    return ClientApiRead::Message;
}

bool sendClientApiMessage(ClientApiConnection* connection, const std::string& message) {
    if (connection->closed) {
        return false;
    }
    fake::clientApi().sent.push_back(message);
    return true;
}

void waitForClientApi(ClientApiConnection* /*connection*/, int milliseconds) {
    sleepMilliseconds(milliseconds);
}

void closeClientApi(ClientApiConnection* connection) {
    if (connection == nullptr) {
        return;
    }
    fake::ClientApi& api = fake::clientApi();
    ++api.closes;
    api.open = false;
    delete connection;
}

} // namespace platform
