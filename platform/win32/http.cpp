// WinHTTP in synchronous mode: session, connection and request for one GET,
// the raw response headers, then the body as WinHttpQueryDataAvailable and
// WinHttpReadData hand it over. WinHTTP limits each step on its own, so the
// limit of the whole request is kept by shortening every later step to the
// time that is left.
#include "platform/http.hpp"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

struct platform::HttpTransfer {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    ULONGLONG deadline = 0; // GetTickCount64 at which the whole request must be done
    std::string headers;
    std::vector<char> piece;
    ULONGLONG bodyBytes = 0; // body bytes handed over so far
};

namespace platform {
namespace {

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

bool openAndSend(HttpTransfer& t, const HttpGet& get) {
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
                            sizeof noRedirects) &&
           limitToDeadline(t) &&
           WinHttpSendRequest(t.request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                              0, 0, 0) &&
           limitToDeadline(t) && WinHttpReceiveResponse(t.request, nullptr) && readRawHeaders(t);
}

} // namespace

HttpTransfer* httpSendGet(const HttpGet& request, int& error) {
    error = 0;
    if (request.url == nullptr || request.userAgent == nullptr) {
        return nullptr;
    }
    HttpTransfer* t = new HttpTransfer;
    if (!openAndSend(*t, request)) {
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
    DWORD available = 0;
    if (!limitToDeadline(t) || !WinHttpQueryDataAvailable(t.request, &available)) {
        error = static_cast<int>(GetLastError());
        return false;
    }
    t.piece.assign(static_cast<std::size_t>(available) + 1, '\0');
    DWORD read = 0;
    if (available > 0 && !WinHttpReadData(t.request, t.piece.data(), available, &read)) {
        error = static_cast<int>(GetLastError());
        return false;
    }
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
    if (transfer == nullptr) {
        return;
    }
    if (transfer->request != nullptr) {
        WinHttpCloseHandle(transfer->request);
    }
    if (transfer->connection != nullptr) {
        WinHttpCloseHandle(transfer->connection);
    }
    if (transfer->session != nullptr) {
        WinHttpCloseHandle(transfer->session);
    }
    delete transfer;
}

} // namespace platform
