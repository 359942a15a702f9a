// One HTTP GET at a time. The backend opens the request, sends it, and hands
// back the raw response headers and then the body piece by piece; the caller
// looks at the status and decides where the body goes. Redirects are not
// followed: the answer of the URL itself is what comes back.
#pragma once

#include <cstddef>

namespace platform {

struct HttpGet {
    const char* url = nullptr;       // 8-bit text, http:// or https://
    const char* userAgent = nullptr; // 8-bit text
    bool secure = false;             // open the request with the secure (TLS) flag
    int connectTimeoutMilliseconds = 0;
    int totalTimeoutMilliseconds = 0; // the whole request, headers and body
};

// The backend's record of one request; opaque to the caller.
struct HttpTransfer;

// Opens and sends the request and waits for the response headers. Returns
// null on failure, with error set to the platform's error number, or to 0
// when the platform gave none.
HttpTransfer* httpSendGet(const HttpGet& request, int& error);

// The raw response headers as CRLF text, status line first, terminated;
// valid until httpClose.
const char* httpResponseHeaders(const HttpTransfer* transfer);

// The next piece of the body: data and size stay valid until the next call
// or httpClose. A size of 0 means the body is complete. Returns false on
// failure, with error as for httpSendGet.
bool httpNextBodyPiece(HttpTransfer* transfer, const char*& data, std::size_t& size, int& error);

// Releases the request and everything it holds; null is ignored.
void httpClose(HttpTransfer* transfer);

} // namespace platform
