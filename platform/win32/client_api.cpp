// Today's client's WebSocket API over WinHTTP. The WebSocket functions came
// with Windows 8; they are looked up at run time, so that the monitor still
// starts on an older Windows, where no connection is ever made.
//
// WinHTTP's synchronous receive cannot be waited on beside a sleep, so each
// connection has one thread that does the blocking receives and queues the
// whole text messages; the core takes them without waiting. Closing the
// handles ends a pending receive, so the thread ends with the connection.
#include "platform/client_api.hpp"

#include "common/sha1.hpp"
#include "platform/clock.hpp"
#include "platform/stop.hpp"
#include "platform/win32/wait_slices.hpp"

#include <cstdio>
#include <deque>
#include <string>

#define WIN32_LEAN_AND_MEAN
#include <process.h>
#include <windows.h>
#include <winhttp.h>

namespace platform {
namespace {

// The WebSocket functions of winhttp.dll; all of them or none.
struct WebSocketFunctions {
    decltype(&WinHttpWebSocketCompleteUpgrade) completeUpgrade = nullptr;
    decltype(&WinHttpWebSocketSend) send = nullptr;
    decltype(&WinHttpWebSocketReceive) receive = nullptr;
    decltype(&WinHttpWebSocketShutdown) shutdown = nullptr;
};

// Messages waiting beyond this many bytes hold the reading back, so a core
// that stops taking them cannot make the queue grow without bound.
constexpr std::size_t QueueLimit = 4u << 20;
// Bytes asked of one receive call.
constexpr DWORD ReceivePiece = 64u << 10;
// How long closing waits for the reading thread to end.
constexpr DWORD ReaderPatience = 2000;

} // namespace
} // namespace platform

struct platform::ClientApiConnection {
    explicit ClientApiConnection(const WebSocketFunctions& functions) : api(functions) {
        InitializeCriticalSection(&lock);
    }
    ~ClientApiConnection() { DeleteCriticalSection(&lock); }
    ClientApiConnection(const ClientApiConnection&) = delete;
    ClientApiConnection& operator=(const ClientApiConnection&) = delete;

    WebSocketFunctions api;
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET socket = nullptr;
    HANDLE reader = nullptr;
    LONG references = 1; // the core's, and the reading thread's while it runs

    CRITICAL_SECTION lock; // guards the members below
    std::deque<std::string> arrived;
    std::size_t arrivedBytes = 0;
    bool ended = false;   // the reading thread saw the connection end
    bool closing = false; // closeClientApi has begun
};

namespace platform {
namespace {

class Locked {
public:
    explicit Locked(CRITICAL_SECTION& section) : section_(section) {
        EnterCriticalSection(&section_);
    }
    ~Locked() { LeaveCriticalSection(&section_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CRITICAL_SECTION& section_;
};

template <typename Function> bool lookUp(HMODULE module, const char* name, Function& function) {
    FARPROC address = GetProcAddress(module, name);
    // Through the generic function pointer type, which converts to any other.
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
    return address != nullptr;
}

WebSocketFunctions findWebSocketFunctions() {
    HMODULE module = GetModuleHandleA("winhttp.dll");
    if (module == nullptr) {
        module = LoadLibraryA("winhttp.dll");
    }
    WebSocketFunctions f;
    if (module == nullptr ||
        !lookUp(module, "WinHttpWebSocketCompleteUpgrade", f.completeUpgrade) ||
        !lookUp(module, "WinHttpWebSocketSend", f.send) ||
        !lookUp(module, "WinHttpWebSocketReceive", f.receive) ||
        !lookUp(module, "WinHttpWebSocketShutdown", f.shutdown)) {
        return WebSocketFunctions{};
    }
    return f;
}

// The functions, or null where this Windows lacks them.
const WebSocketFunctions* webSocketFunctions() {
    static const WebSocketFunctions found = findWebSocketFunctions();
    return found.completeUpgrade != nullptr ? &found : nullptr;
}

// Four decimal numbers of at most 255, so no name is ever looked up.
bool isDottedAddress(const char* text) {
    unsigned part[4];
    char extra = 0;
    int count =
        std::sscanf(text, "%3u.%3u.%3u.%3u%c", &part[0], &part[1], &part[2], &part[3], &extra);
    return count == 4 && part[0] <= 255 && part[1] <= 255 && part[2] <= 255 && part[3] <= 255;
}

std::wstring widen(const char* text) {
    int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (size <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], size);
    wide.resize(static_cast<std::size_t>(size - 1));
    return wide;
}

// WinHTTP limits each step on its own; the open's limit is kept by letting
// the next step (connect and send, or the response) wait no longer than
// what is left. A stop request ends the open between steps.
bool limitToDeadline(HINTERNET request, ULONGLONG deadline) {
    ULONGLONG now = GetTickCount64();
    if (now >= deadline || stopRequested()) {
        return false;
    }
    int left = static_cast<int>(deadline - now);
    DWORD wait = static_cast<DWORD>(left);
    return WinHttpSetTimeouts(request, left, left, left, left) &&
           WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &wait, sizeof wait);
}

// A header of the request sent (WINHTTP_QUERY_FLAG_REQUEST_HEADERS) or of
// the answer (0), as 8-bit text; empty when there is none.
std::string headerValue(HINTERNET request, DWORD which, const wchar_t* name) {
    wchar_t value[128];
    DWORD size = sizeof value;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CUSTOM | which, name, value, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return std::string();
    }
    std::string text;
    for (DWORD i = 0; i < size / sizeof(wchar_t); ++i) {
        text += value[i] < 0x80 ? static_cast<char>(value[i]) : '?';
    }
    return text;
}

// The answer's Sec-WebSocket-Accept must answer the key that WinHTTP made,
// which not every WinHTTP checks (Wine's does not). Where the key cannot be
// read back, the check is left to WinHTTP.
bool answersTheKey(HINTERNET request) {
    std::string key =
        headerValue(request, WINHTTP_QUERY_FLAG_REQUEST_HEADERS, L"Sec-WebSocket-Key");
    return key.empty() || headerValue(request, 0, L"Sec-WebSocket-Accept") == webSocketAccept(key);
}

// Sends the upgrade request, takes only the answer 101 with the right key
// and makes the request a WebSocket.
bool handshake(ClientApiConnection& c, HINTERNET request, ULONGLONG deadline) {
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects,
                          sizeof noRedirects) ||
        !WinHttpSetOption(request, WINHTTP_OPTION_UPGRADE_TO_WEB_SOCKET, nullptr, 0) ||
        !limitToDeadline(request, deadline) ||
        !WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                            0, 0) ||
        !limitToDeadline(request, deadline) || !WinHttpReceiveResponse(request, nullptr) ||
        !WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                             WINHTTP_NO_HEADER_INDEX) ||
        status != HTTP_STATUS_SWITCH_PROTOCOLS || !answersTheKey(request)) {
        return false;
    }
    c.socket = c.api.completeUpgrade(request, 0);
    return c.socket != nullptr;
}

// Session, connection and request (closed again once it became the
// WebSocket). The API is local: no proxy.
bool upgrade(ClientApiConnection& c, const char* dottedAddress, std::uint16_t port,
             const char* path, int timeoutMilliseconds) {
    const ULONGLONG deadline =
        GetTickCount64() +
        static_cast<ULONGLONG>(timeoutMilliseconds > 0 ? timeoutMilliseconds : 1);
    std::wstring host = widen(dottedAddress);
    std::wstring target = widen(path);
    c.session = WinHttpOpen(L"lcc WinHTTP/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
    if (c.session == nullptr || target.empty()) {
        return false;
    }
    c.connection = WinHttpConnect(c.session, host.c_str(), port, 0);
    if (c.connection == nullptr) {
        return false;
    }
    HINTERNET request = WinHttpOpenRequest(c.connection, L"GET", target.c_str(), nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
    if (request == nullptr) {
        return false;
    }
    bool upgraded = handshake(c, request, deadline);
    WinHttpCloseHandle(request);
    return upgraded;
}

// Drops one reference; the last one frees the record.
void release(ClientApiConnection* c) {
    if (InterlockedDecrement(&c->references) == 0) {
        delete c;
    }
}

// False once closing has begun. While the core leaves more than QueueLimit
// bytes untaken, waits in slices, so that a close is seen within one.
bool mayRead(ClientApiConnection& c) {
    for (;;) {
        {
            Locked hold(c.lock);
            if (c.closing) {
                return false;
            }
            if (c.arrivedBytes <= QueueLimit) {
                return true;
            }
        }
        Sleep(win32::WaitSliceMilliseconds);
    }
}

enum class Received { Text, Binary, End };

// Receives the pieces of one message into message; End when the connection
// ended, was closed, or the message is over the limit.
Received receiveMessage(ClientApiConnection& c, std::string& message) {
    message.clear();
    for (;;) {
        if (!mayRead(c)) {
            return Received::End;
        }
        std::size_t used = message.size();
        message.resize(used + ReceivePiece);
        DWORD count = 0;
        WINHTTP_WEB_SOCKET_BUFFER_TYPE type = WINHTTP_WEB_SOCKET_CLOSE_BUFFER_TYPE;
        DWORD error = c.api.receive(c.socket, &message[used], ReceivePiece, &count, &type);
        message.resize(used + (error == NO_ERROR ? count : 0));
        if (error != NO_ERROR || type == WINHTTP_WEB_SOCKET_CLOSE_BUFFER_TYPE) {
            return Received::End;
        }
        if (type == WINHTTP_WEB_SOCKET_BINARY_MESSAGE_BUFFER_TYPE) {
            return Received::Binary;
        }
        if (type == WINHTTP_WEB_SOCKET_BINARY_FRAGMENT_BUFFER_TYPE) {
            message.clear(); // dropped piece by piece
        } else if (message.size() > ClientApiMessageLimit) {
            return Received::End;
        } else if (type == WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE) {
            return Received::Text;
        }
    }
}

unsigned __stdcall readMessages(void* argument) {
    ClientApiConnection& c = *static_cast<ClientApiConnection*>(argument);
    for (;;) {
        std::string message;
        Received received = receiveMessage(c, message);
        if (received == Received::End) {
            break;
        }
        if (received == Received::Text) {
            Locked hold(c.lock);
            // Each message counts one byte more, so empty ones cannot pile up.
            c.arrivedBytes += message.size() + 1;
            c.arrived.push_back(std::move(message));
        }
    }
    {
        Locked hold(c.lock);
        c.ended = true;
    }
    release(&c);
    return 0;
}

bool startReader(ClientApiConnection& c) {
    c.references = 2;
    std::uintptr_t thread = _beginthreadex(nullptr, 0, readMessages, &c, 0, nullptr);
    if (thread == 0) {
        c.references = 1;
        return false;
    }
    c.reader = reinterpret_cast<HANDLE>(thread);
    return true;
}

// Closing the WebSocket handle ends a receive pending in the reading thread,
// which reads the handle but never writes it.
void closeHandles(const ClientApiConnection& c) {
    for (HINTERNET handle : {c.socket, c.connection, c.session}) {
        if (handle != nullptr) {
            WinHttpCloseHandle(handle);
        }
    }
}

} // namespace

ClientApiConnection* openClientApi(const char* dottedAddress, std::uint16_t port, const char* path,
                                   int timeoutMilliseconds) {
    const WebSocketFunctions* api = webSocketFunctions();
    if (api == nullptr || dottedAddress == nullptr || path == nullptr ||
        !isDottedAddress(dottedAddress)) {
        return nullptr;
    }
    ClientApiConnection* c = new ClientApiConnection(*api);
    if (!upgrade(*c, dottedAddress, port, path, timeoutMilliseconds) || !startReader(*c)) {
        closeHandles(*c);
        release(c);
        return nullptr;
    }
    return c;
}

// The reading thread reads as input arrives.
void receiveClientApi(ClientApiConnection* /*connection*/) {}

ClientApiRead takeClientApiMessage(ClientApiConnection* connection, std::string& message) {
    if (connection == nullptr) {
        return ClientApiRead::Closed;
    }
    Locked hold(connection->lock);
    if (connection->arrived.empty()) {
        return connection->ended ? ClientApiRead::Closed : ClientApiRead::Nothing;
    }
    message = std::move(connection->arrived.front());
    connection->arrived.pop_front();
    connection->arrivedBytes -= message.size() + 1;
    return ClientApiRead::Message;
}

bool sendClientApiMessage(ClientApiConnection* connection, const std::string& message) {
    if (connection == nullptr || message.size() > ClientApiMessageLimit) {
        return false;
    }
    {
        Locked hold(connection->lock);
        if (connection->ended) {
            return false;
        }
    }
    return connection->api.send(connection->socket, WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE,
                                const_cast<char*>(message.data()),
                                static_cast<DWORD>(message.size())) == NO_ERROR;
}

// The reading thread does the reading; the wait is the plain sleep.
void waitForClientApi(ClientApiConnection*, int milliseconds) {
    sleepMilliseconds(milliseconds);
}

// A close frame (it fails harmlessly on a connection already gone), then the
// handles are closed, which ends a pending receive. If the thread is still
// inside WinHTTP after the wait, it frees the record itself when it ends.
void closeClientApi(ClientApiConnection* connection) {
    if (connection == nullptr) {
        return;
    }
    ClientApiConnection& c = *connection;
    {
        Locked hold(c.lock);
        c.closing = true;
    }
    c.api.shutdown(c.socket, WINHTTP_WEB_SOCKET_SUCCESS_CLOSE_STATUS, nullptr, 0);
    closeHandles(c);
    if (c.reader != nullptr) {
        WaitForSingleObject(c.reader, ReaderPatience);
        CloseHandle(c.reader);
    }
    release(&c);
}

} // namespace platform
