#include "monitor/report/stats_site.hpp"

#include "common/numeric.hpp"
#include "common/text.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/report/http_download.hpp"

#include <climits>
#include <string>

namespace {

constexpr const char* AnswerFileName = "Vantor.html";
constexpr std::size_t ProcessorNameScope = 51; // blanks turned into '_' among these
constexpr std::uint64_t BytesPerMebibyte = 1048576;

// A query value: every byte outside the unreserved set (letters, digits and
// - _ . ~) becomes %XX, so a value can never end its key or start another.
std::string encodeQueryValue(const char* text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char* p = text; *p != '\0'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~';
        if (unreserved) {
            encoded += static_cast<char>(c);
        } else {
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 0x0f];
        }
    }
    return encoded;
}

void underscoreBlanks(char (&name)[sizeof MonitorState::cpuName]) {
    std::string text = name;
    for (std::size_t i = 0; i < ProcessorNameScope && i < text.size(); ++i) {
        if (text[i] == ' ') {
            text[i] = '_';
        }
    }
    copyText(name, text.c_str());
}

int memoryMebibytes(std::uint64_t bytes) {
    std::uint64_t mebibytes = bytes / BytesPerMebibyte;
    return mebibytes > static_cast<std::uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(mebibytes);
}

} // namespace

int submitUnitStats(MonitorState& s, const char* finishedCore) {
    underscoreBlanks(s.cpuName);
    formatText(s.statsUrl, sizeof s.statsUrl,
               "http://%s/folding/unitstats.php?username=%s&team=%d&cpu=%d&wucount=%d"
               "&cpuvendor=%s&cpustring=%s&cpumhz=%d&frametime=%f&protein=%s&core=%s&memory=%d",
               StatsSiteHost, encodeQueryValue(s.userName).c_str(), s.teamNumber, s.machineId,
               s.unitCount, encodeQueryValue(s.cpuVendor).c_str(),
               encodeQueryValue(s.cpuName).c_str(), truncateToInt(s.cpuMhz),
               static_cast<double>(s.frameMinutes), encodeQueryValue(s.previousUnitName).c_str(),
               encodeQueryValue(finishedCore).c_str(), memoryMebibytes(s.totalMemory));
    return httpGetToFile(s.statsUrl, AnswerFileName);
}
