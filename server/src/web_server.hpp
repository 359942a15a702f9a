// The dashboard over HTTP, or HTTPS only when given a certificate and key:
// the page, the JSON API and the event stream.
#pragma once

#include "event_stream.hpp"
#include "hub.hpp"

#include <memory>
#include <string>

namespace httplib {
class Server;
}

// PEM files: the certificate (with its chain) and its private key.
struct TlsFiles {
    std::string certificate;
    std::string key;
};

class WebServer {
public:
    // With tls, HTTPS only; check valid() for files that could not be used.
    WebServer(Hub& hub, std::string token, const TlsFiles* tls = nullptr);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Port 0 takes any free port; port() then tells which.
    bool valid() const;
    bool bind(const std::string& address, int port);
    int port() const { return port_; }
    void run();
    void stop();

private:
    void addRoutes();

    Hub& hub_;
    std::string token_;
    EventStream events_;
    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
};
