#include "web_server.hpp"

#include "dashboard_assets.hpp"
#include "server_clock.hpp"
#include "token.hpp"

#include <httplib.h>

#include <charconv>

namespace {

constexpr std::size_t WorkerThreads = 16;
constexpr std::size_t MaxEventClients = 8;
constexpr std::size_t MaxRequestBody = 1024;
constexpr int DefaultHistoryDays = 14;
constexpr int MaxHistoryDays = 366;
constexpr time_t SocketTimeoutSeconds = 5;

const char* const CommandBodyError = R"(the body must be {"command": "stop" | "toggle" | )"
                                     R"("restart" | "pause" | "fold" | "finish"})";

const char* const SecurityPolicy = "default-src 'none'; script-src 'self'; style-src 'self'; "
                                   "img-src 'self'; connect-src 'self'; frame-ancestors 'none'";

void sendJson(httplib::Response& res, int status, const nlohmann::json& body) {
    res.status = status;
    res.set_content(body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                    "application/json");
}

void sendError(httplib::Response& res, int status, const std::string& message) {
    sendJson(res, status, {{"error", message}});
}

int historyDays(const httplib::Request& req) {
    std::string text = req.get_param_value("days");
    int days = DefaultHistoryDays;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), days);
    if (text.empty() || ec != std::errc{} || ptr != text.data() + text.size()) {
        days = DefaultHistoryDays;
    }
    return std::clamp(days, 1, MaxHistoryDays);
}

std::optional<Command> requestedCommand(const std::string& body) {
    nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
    if (!parsed.is_object() || !parsed.contains("command") || !parsed["command"].is_string()) {
        return std::nullopt;
    }
    return commandFromName(parsed["command"].get<std::string>());
}

void answerQueue(httplib::Response& res, QueueResult result) {
    switch (result) {
    case QueueResult::Queued:
        sendJson(res, 202, {{"queued", true}});
        return;
    case QueueResult::UnknownMachine:
        sendError(res, 404, "no such machine");
        return;
    case QueueResult::Closed:
        sendError(res, 409, "the machine's monitor has closed");
        return;
    case QueueResult::Refused:
        sendError(res, 409, "the machine's monitor does not obey this command");
        return;
    }
}

std::unique_ptr<httplib::Server> makeServer(const TlsFiles* tls) {
    if (tls == nullptr) {
        return std::make_unique<httplib::Server>();
    }
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
    return std::make_unique<httplib::SSLServer>(tls->certificate.c_str(), tls->key.c_str());
#else
    return nullptr; // cpp-httplib without OpenSSL: no HTTPS
#endif
}

} // namespace

WebServer::WebServer(Hub& hub, std::string token, const TlsFiles* tls)
    : hub_(hub), token_(std::move(token)), events_(hub, MaxEventClients), server_(makeServer(tls)) {
    if (!valid()) {
        return;
    }
    server_->new_task_queue = [] { return new httplib::ThreadPool(WorkerThreads); };
    server_->set_payload_max_length(MaxRequestBody);
    server_->set_read_timeout(SocketTimeoutSeconds, 0);
    server_->set_write_timeout(SocketTimeoutSeconds, 0);
    server_->set_keep_alive_timeout(SocketTimeoutSeconds);
    server_->set_default_headers({{"Content-Security-Policy", SecurityPolicy},
                                  {"X-Content-Type-Options", "nosniff"},
                                  {"Referrer-Policy", "no-referrer"}});
    addRoutes();
}

WebServer::~WebServer() = default;

void WebServer::addRoutes() {
    using httplib::Request;
    using httplib::Response;
    server_->Get("/", [](const Request&, Response& res) {
        res.set_content(dashboardPage(), "text/html; charset=utf-8");
    });
    server_->Get("/app.css", [](const Request&, Response& res) {
        res.set_content(dashboardStyle(), "text/css; charset=utf-8");
    });
    server_->Get("/app.js", [](const Request&, Response& res) {
        res.set_content(dashboardScript(), "text/javascript; charset=utf-8");
    });
    server_->Get("/favicon.ico", [](const Request&, Response& res) { res.status = 204; });
    server_->Get("/api/machines", [this](const Request&, Response& res) {
        sendJson(res, 200, hub_.machinesJson(currentTime()));
    });
    server_->Get("/api/history", [this](const Request& req, Response& res) {
        sendJson(res, 200, hub_.historyJson(historyDays(req), currentTime()));
    });
    server_->Get("/api/stats",
                 [this](const Request&, Response& res) { sendJson(res, 200, hub_.statsJson()); });
    server_->Get("/events", [this](const Request&, Response& res) {
        if (!events_.attach(res)) {
            sendError(res, 503, "too many event streams");
        }
    });
    server_->Post(
        R"(/api/machines/([^/]{1,200})/command)", [this](const Request& req, Response& res) {
            if (!tokensMatch(token_, bearerToken(req.get_header_value("Authorization")))) {
                res.set_header("WWW-Authenticate", "Bearer");
                sendError(res, 401, "a valid token is needed");
                return;
            }
            std::optional<Command> command = requestedCommand(req.body);
            if (!command) {
                sendError(res, 400, CommandBodyError);
                return;
            }
            answerQueue(res, hub_.queueCommand(req.matches[1].str(), *command));
        });
}

bool WebServer::valid() const {
    return server_ && server_->is_valid();
}

bool WebServer::bind(const std::string& address, int port) {
    port_ = port == 0 ? server_->bind_to_any_port(address) : port;
    return port_ > 0 && (port == 0 || server_->bind_to_port(address, port));
}

void WebServer::run() {
    server_->listen_after_bind();
}

void WebServer::stop() {
    events_.stop();
    if (server_) {
        server_->stop();
    }
}
