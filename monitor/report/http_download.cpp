#include "monitor/report/http_download.hpp"

#include "platform/http.hpp"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// The record of one download.
struct HttpDownload {
    int result = 0;
    platform::HttpTransfer* transfer = nullptr;
    std::FILE* file = nullptr;
};

void closeDownload(HttpDownload& d) {
    platform::httpClose(d.transfer);
    d.transfer = nullptr;
    if (d.file != nullptr) {
        std::fclose(d.file);
        d.file = nullptr;
    }
}

// A failed step for which the platform gave no number still counts as one.
int failureCode(int error) {
    return error != 0 ? error : HttpNoErrorNumber;
}

// The scheme is compared without regard to case, as URLs allow.
bool isSecureUrl(const char* url) {
    const char* scheme = "https://";
    for (std::size_t i = 0; scheme[i] != '\0'; ++i) {
        if (url[i] == '\0' || std::tolower(static_cast<unsigned char>(url[i])) !=
                                  static_cast<unsigned char>(scheme[i])) {
            return false;
        }
    }
    return true;
}

// Writes the body piece by piece, up to the limit; returns 0 when all of it
// was written. Past the limit, what fits is kept and the transfer ends.
int saveBody(HttpDownload& d) {
    std::size_t room = HttpAnswerLimitBytes;
    for (;;) {
        const char* data = nullptr;
        std::size_t size = 0;
        int error = 0;
        if (!platform::httpNextBodyPiece(d.transfer, data, size, error)) {
            return failureCode(error);
        }
        if (size == 0) {
            return 0;
        }
        const std::size_t kept = size < room ? size : room;
        if (std::fwrite(data, 1, kept, d.file) != kept) {
            return HttpFileNotWritable;
        }
        if (kept < size) {
            return HttpAnswerTooLarge;
        }
        room -= kept;
    }
}

} // namespace

bool statusIsNotFound(const char* rawHeaders) {
    if (rawHeaders == nullptr) {
        return false;
    }
    const char* p = rawHeaders;
    while (*p != '\0' && *p != ' ') {
        ++p;
    }
    while (*p == ' ') {
        ++p;
    }
    return std::strncmp(p, "404", 3) == 0;
}

int httpGetToFile(const char* url, const char* fileName, int connectTimeLimitMilliseconds,
                  int requestTimeLimitMilliseconds) {
    if (url == nullptr || fileName == nullptr) {
        return HttpNoErrorNumber;
    }
    platform::HttpGet request;
    request.url = url;
    request.userAgent = HttpUserAgent;
    request.secure = isSecureUrl(url);
    request.connectTimeoutMilliseconds = connectTimeLimitMilliseconds;
    request.totalTimeoutMilliseconds = requestTimeLimitMilliseconds;

    HttpDownload d;
    int error = 0;
    d.transfer = platform::httpSendGet(request, error);
    if (d.transfer == nullptr) {
        return failureCode(error);
    }
    if (statusIsNotFound(platform::httpResponseHeaders(d.transfer))) {
        d.result = HttpNotFound; // an earlier file stays as it was
    } else {
        d.file = std::fopen(fileName, "wb");
        d.result = d.file != nullptr ? saveBody(d) : HttpFileNotWritable;
    }
    closeDownload(d);
    return d.result;
}
