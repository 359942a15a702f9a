// WinHTTP in synchronous mode: session, connection and request for one GET,
// the raw response headers, then the body as WinHttpQueryDataAvailable and
// WinHttpReadData hand it over. WinHTTP limits each step on its own, so the
// limit of the whole request is kept by shortening every later step to the
// time that is left.
//
// The steps that wait on the network run on a worker thread while the
// calling thread waits in slices and serves the wait hook, so the window
// lives. A stop request closes the request handle, which cancels the step;
// the caller waits a short while for the worker and goes on even if WinHTTP
// has not returned yet. The record then stays with the worker, which frees
// it: whichever side lets go of it last does.
#include "platform/http.hpp"

#include "platform/stop.hpp"
#include "platform/wait_hook.hpp"
#include "platform/win32/wait_slices.hpp"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

struct platform::HttpTransfer {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    bool requestClosed = false; // closed early, to cancel a step
    ULONGLONG deadline = 0;     // GetTickCount64 at which the whole request must be done
    std::string headers;
    std::vector<char> piece;
    DWORD pieceSize = 0;     // bytes of piece the last body step read
    ULONGLONG bodyBytes = 0; // body bytes handed over so far
    // The step a worker runs, and its outcome, read once the worker ended.
    bool (*step)(HttpTransfer&) = nullptr;
    bool stepDone = false;
    DWORD stepError = 0;
    LONG holders = 1; // the caller, and a worker while one runs
};

namespace platform {
namespace {

// How long a cancelled step's worker is waited for before the caller goes on.
constexpr DWORD CancelWaitMilliseconds = 1000;

// 8-bit text (the process's code page) as wide text.
std::wstring widen(const char* text) {
    int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (size <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], size);
    wide.resize(static_cast<std::size_t>(size - 1));
    return wide;
}

std::string narrow(const wchar_t* text, int length) {
    int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return std::string();
    }
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, &result[0], size, nullptr, nullptr);
    return result;
}

// Fails with ERROR_WINHTTP_TIMEOUT once the whole request's time is used up;
// otherwise lets the next send or receive wait no longer than what is left.
bool limitToDeadline(HttpTransfer& t) {
    ULONGLONG now = GetTickCount64();
    if (now >= t.deadline) {
        SetLastError(ERROR_WINHTTP_TIMEOUT);
        return false;
    }
    DWORD left = static_cast<DWORD>(t.deadline - now);
    return WinHttpSetOption(t.request, WINHTTP_OPTION_SEND_TIMEOUT, &left, sizeof left) &&
           WinHttpSetOption(t.request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &left, sizeof left) &&
           WinHttpSetOption(t.request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &left, sizeof left);
}

bool readRawHeaders(HttpTransfer& t) {
    DWORD size = 0;
    if (WinHttpQueryHeaders(t.request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                            WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return false;
    }
    std::vector<wchar_t> wide(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(t.request, WINHTTP_QUERY_RAW_HEADERS_CRLF,
                             WINHTTP_HEADER_NAME_BY_INDEX, wide.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return false;
    }
    t.headers = narrow(wide.data(), static_cast<int>(size / sizeof(wchar_t)));
    return true;
}

// WinHTTP can take a connection closed early for the end of the body; a
// body shorter than its Content-Length is reported as the broken connection
// it is. (A chunked body carries its own end.)
bool bodyIsWhole(HttpTransfer& t) {
    DWORD length = 0;
    DWORD size = sizeof length;
    if (!WinHttpQueryHeaders(t.request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &length, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return true; // no length named
    }
    DWORD encodingSize = 0;
    if (!WinHttpQueryHeaders(t.request, WINHTTP_QUERY_TRANSFER_ENCODING,
                             WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &encodingSize,
                             WINHTTP_NO_HEADER_INDEX) &&
        GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        return true;
    }
    if (t.bodyBytes < length) {
        SetLastError(ERROR_WINHTTP_CONNECTION_ERROR);
        return false;
    }
    return true;
}

void closeHandles(HttpTransfer& t) {
    if (t.request != nullptr && !t.requestClosed) {
        WinHttpCloseHandle(t.request);
    }
    if (t.connection != nullptr) {
        WinHttpCloseHandle(t.connection);
    }
    if (t.session != nullptr) {
        WinHttpCloseHandle(t.session);
    }
}

void release(HttpTransfer* t) {
    if (InterlockedDecrement(&t->holders) == 0) {
        closeHandles(*t);
        delete t;
    }
}

DWORD WINAPI runStep(void* context) {
    HttpTransfer* t = static_cast<HttpTransfer*>(context);
    t->stepDone = t->step(*t);
    t->stepError = t->stepDone ? 0 : GetLastError();
    release(t);
    return 0;
}

// Waits for the worker in slices with the wait hook between them; false
// when a stop request cancelled the step.
bool awaitWorker(HttpTransfer& t, HANDLE worker) {
    while (WaitForSingleObject(worker, win32::WaitSliceMilliseconds) == WAIT_TIMEOUT) {
        serviceWaitHook();
        if (stopRequested()) {
            // WinHTTP ends a synchronous call whose handle another thread closes.
            WinHttpCloseHandle(t.request);
            t.requestClosed = true;
            WaitForSingleObject(worker, CancelWaitMilliseconds);
            return false;
        }
    }
    return true;
}

// Runs a step that waits on the network on a worker thread, or here when
// no thread can be started; its result, with the error as the last error.
bool runAside(HttpTransfer& t, bool (*step)(HttpTransfer&)) {
    if (t.requestClosed) { // a cancelled step's worker may still hold the record
        SetLastError(ERROR_WINHTTP_OPERATION_CANCELLED);
        return false;
    }
    t.step = step;
    InterlockedIncrement(&t.holders);
    HANDLE worker = CreateThread(nullptr, 0, runStep, &t, 0, nullptr);
    if (worker == nullptr) {
        InterlockedDecrement(&t.holders);
        return step(t);
    }
    const bool ended = awaitWorker(t, worker);
    CloseHandle(worker);
    if (!ended) {
        SetLastError(ERROR_WINHTTP_OPERATION_CANCELLED);
        return false;
    }
    SetLastError(t.stepError);
    return t.stepDone;
}

// Sends the request and waits for the response's headers. (worker)
bool sendAndReceive(HttpTransfer& t) {
    return limitToDeadline(t) &&
           WinHttpSendRequest(t.request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                              0, 0, 0) &&
           limitToDeadline(t) && WinHttpReceiveResponse(t.request, nullptr);
}

// Reads the next piece of the body into piece. (worker)
bool readPiece(HttpTransfer& t) {
    DWORD available = 0;
    t.pieceSize = 0;
    if (!limitToDeadline(t) || !WinHttpQueryDataAvailable(t.request, &available)) {
        return false;
    }
    t.piece.assign(static_cast<std::size_t>(available) + 1, '\0');
    return available == 0 || WinHttpReadData(t.request, t.piece.data(), available, &t.pieceSize);
}

// Session, connection and request; none of them waits on the network.
bool openRequest(HttpTransfer& t, const HttpGet& get) {
    std::wstring agent = widen(get.userAgent);
    t.session = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                            WINHTTP_NO_PROXY_BYPASS, 0);
    if (t.session == nullptr) {
        return false;
    }
    int connect = get.connectTimeoutMilliseconds > 0 ? get.connectTimeoutMilliseconds : 1;
    int total = get.totalTimeoutMilliseconds > 0 ? get.totalTimeoutMilliseconds : 1;
    t.deadline = GetTickCount64() + static_cast<ULONGLONG>(total);
    if (!WinHttpSetTimeouts(t.session, connect, connect, total, total)) {
        return false;
    }
    std::wstring url = widen(get.url);
    wchar_t host[256] = {};
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host / sizeof host[0];
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    if (url.empty() || !WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) {
        return false;
    }
    t.connection = WinHttpConnect(t.session, host, parts.nPort, 0);
    if (t.connection == nullptr) {
        return false;
    }
    // The path runs to the end of the URL, so it carries the query along.
    const wchar_t* path =
        parts.lpszUrlPath != nullptr && parts.lpszUrlPath[0] != L'\0' ? parts.lpszUrlPath : L"/";
    t.request =
        WinHttpOpenRequest(t.connection, L"GET", path, nullptr, WINHTTP_NO_REFERER,
                           WINHTTP_DEFAULT_ACCEPT_TYPES, get.secure ? WINHTTP_FLAG_SECURE : 0);
    if (t.request == nullptr) {
        return false;
    }
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    return WinHttpSetOption(t.request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects,
                            sizeof noRedirects);
}

} // namespace

HttpTransfer* httpSendGet(const HttpGet& request, int& error) {
    error = 0;
    if (request.url == nullptr || request.userAgent == nullptr) {
        return nullptr;
    }
    HttpTransfer* t = new HttpTransfer;
    if (!openRequest(*t, request) || !runAside(*t, sendAndReceive) || !readRawHeaders(*t)) {
        error = static_cast<int>(GetLastError());
        httpClose(t);
        return nullptr;
    }
    return t;
}

const char* httpResponseHeaders(const HttpTransfer* transfer) {
    return transfer->headers.c_str();
}

bool httpNextBodyPiece(HttpTransfer* transfer, const char*& data, std::size_t& size, int& error) {
    HttpTransfer& t = *transfer;
    if (!runAside(t, readPiece)) {
        error = static_cast<int>(GetLastError());
        return false;
    }
    const DWORD read = t.pieceSize;
    if (read == 0 && !bodyIsWhole(t)) {
        error = static_cast<int>(GetLastError());
        return false;
    }
    t.bodyBytes += read;
    data = t.piece.data();
    size = read;
    return true;
}

void httpClose(HttpTransfer* transfer) {
    if (transfer != nullptr) {
        release(transfer);
    }
}

} // namespace platform
