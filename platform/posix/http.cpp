// HTTP GET through libcurl's multi interface, so the request can be driven
// step by step: first to the end of the response headers, then one body
// piece per call. A piece that arrives while the previous one is still held
// pauses the transfer until it is taken. The wait hook is served between
// the poll slices; a stop request ends the transfer as a failed one.
#include "platform/http.hpp"

#include "platform/stop.hpp"
#include "platform/wait_hook.hpp"

#include <curl/curl.h>

#include <string>

struct platform::HttpTransfer {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    std::string headers; // the final response's header block
    bool headersDone = false;
    std::string piece;       // the body piece not yet taken
    bool pieceTaken = false; // piece was handed out; the next call drops it
    bool paused = false;
    bool finished = false;
    CURLcode outcome = CURLE_OK;
};

namespace platform {
namespace {

constexpr int PollSliceMilliseconds = 50; // the longest wait before a stop request is seen

// Collects the header lines; an interim (1xx) block is dropped when it ends.
std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* context) {
    HttpTransfer& t = *static_cast<HttpTransfer*>(context);
    std::size_t length = size * count;
    t.headers.append(data, length);
    bool blankLine = length <= 2 && (length == 0 || data[0] == '\r' || data[0] == '\n');
    if (blankLine) {
        long status = 0;
        curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 100 && status < 200) {
            t.headers.clear();
        } else {
            t.headersDone = true;
        }
    }
    return length;
}

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* context) {
    HttpTransfer& t = *static_cast<HttpTransfer*>(context);
    if (!t.piece.empty()) {
        t.paused = true;
        return CURL_WRITEFUNC_PAUSE; // curl keeps these bytes until the transfer goes on
    }
    t.piece.assign(data, size * count);
    return size * count;
}

// Runs the transfer until satisfied says it has what is wanted or it ends.
void runUntil(HttpTransfer& t, bool (*satisfied)(const HttpTransfer&)) {
    for (;;) {
        int running = 0;
        curl_multi_perform(t.multi, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(t.multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                t.finished = true;
                t.outcome = message->data.result;
            }
        }
        if (t.finished || satisfied(t)) {
            return;
        }
        if (stopRequested()) {
            t.finished = true; // the request ends as a failed one
            t.outcome = CURLE_ABORTED_BY_CALLBACK;
            return;
        }
        curl_multi_poll(t.multi, nullptr, 0, PollSliceMilliseconds, nullptr);
        serviceWaitHook();
    }
}

bool headersArrived(const HttpTransfer& t) {
    return t.headersDone;
}

bool pieceArrived(const HttpTransfer& t) {
    return !t.piece.empty();
}

bool setUp(HttpTransfer& t, const HttpGet& request) {
    CURL* e = t.easy;
    bool ok = curl_easy_setopt(e, CURLOPT_URL, request.url) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_USERAGENT, request.userAgent) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, request.secure ? "https" : "http,https") ==
                  CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS,
                               static_cast<long>(request.connectTimeoutMilliseconds)) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_TIMEOUT_MS,
                               static_cast<long>(request.totalTimeoutMilliseconds)) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, onHeader) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_HEADERDATA, &t) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, onBody) == CURLE_OK &&
              curl_easy_setopt(e, CURLOPT_WRITEDATA, &t) == CURLE_OK;
    return ok && curl_multi_add_handle(t.multi, e) == CURLM_OK;
}

} // namespace

HttpTransfer* httpSendGet(const HttpGet& request, int& error) {
    error = 0;
    if (request.url == nullptr || request.userAgent == nullptr) {
        return nullptr;
    }
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!ready) {
        return nullptr;
    }
    HttpTransfer* t = new HttpTransfer;
    t->easy = curl_easy_init();
    t->multi = curl_multi_init();
    if (t->easy == nullptr || t->multi == nullptr || !setUp(*t, request)) {
        httpClose(t);
        return nullptr;
    }
    runUntil(*t, headersArrived);
    if (!t->headersDone) {
        error = t->outcome != CURLE_OK ? static_cast<int>(t->outcome) : 0;
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
    if (t.pieceTaken) {
        t.piece.clear();
        t.pieceTaken = false;
    }
    if (t.paused && t.piece.empty()) {
        t.paused = false;
        curl_easy_pause(t.easy, CURLPAUSE_CONT); // may hand over the held bytes at once
    }
    if (t.piece.empty() && !t.finished) {
        runUntil(t, pieceArrived);
    }
    if (!t.piece.empty()) {
        t.pieceTaken = true;
        data = t.piece.data();
        size = t.piece.size();
        return true;
    }
    if (t.outcome != CURLE_OK) {
        error = static_cast<int>(t.outcome);
        return false;
    }
    data = t.piece.data();
    size = 0;
    return true;
}

void httpClose(HttpTransfer* transfer) {
    if (transfer == nullptr) {
        return;
    }
    if (transfer->multi != nullptr && transfer->easy != nullptr) {
        curl_multi_remove_handle(transfer->multi, transfer->easy);
    }
    if (transfer->easy != nullptr) {
        curl_easy_cleanup(transfer->easy);
    }
    if (transfer->multi != nullptr) {
        curl_multi_cleanup(transfer->multi);
    }
    delete transfer;
}

} // namespace platform
