// The dashboard over HTTP: the page, the JSON API and the event stream.
#pragma once

#include "event_stream.hpp"
#include "hub.hpp"

#include <memory>
#include <string>

namespace httplib {
class Server;
}

class WebServer {
public:
    WebServer(Hub& hub, std::string token);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Port 0 takes any free port; port() then tells which.
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
