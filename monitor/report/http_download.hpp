// One HTTP GET whose answer is saved to a file.
#pragma once

#include <cstddef>

inline constexpr int HttpConnectTimeLimitMilliseconds = 10000;
inline constexpr int HttpRequestTimeLimitMilliseconds = 30000; // the whole request

// The user agent every request names.
inline constexpr const char* HttpUserAgent = "lcc WinHTTP/1.0";

// The most bytes of a body saved; a longer answer is cut there.
inline constexpr std::size_t HttpAnswerLimitBytes = 1048576;

// Result codes besides 0 (saved) and the platform's error numbers.
inline constexpr int HttpNotFound = 404;       // status 404: no file created or changed
inline constexpr int HttpAnswerTooLarge = -3;  // the body passed HttpAnswerLimitBytes
inline constexpr int HttpFileNotWritable = -2; // the file cannot be opened or written
inline constexpr int HttpNoErrorNumber = -1;   // failed without a platform error number

// Fetches url (http:// or https://, the latter with the secure flag) and,
// unless the status is 404, writes the body byte for byte to fileName
// (created or emptied). Returns 0 when the whole body was saved, else one of
// the codes above or the platform's error number. A failure while the body
// arrives leaves the part already written; a body longer than
// HttpAnswerLimitBytes leaves its first HttpAnswerLimitBytes bytes and ends
// the transfer as HttpAnswerTooLarge.
int httpGetToFile(const char* url, const char* fileName,
                  int connectTimeLimitMilliseconds = HttpConnectTimeLimitMilliseconds,
                  int requestTimeLimitMilliseconds = HttpRequestTimeLimitMilliseconds);

// True when the raw response headers carry the status 404: the three
// characters after the first blank and the blanks that follow it.
bool statusIsNotFound(const char* rawHeaders);
