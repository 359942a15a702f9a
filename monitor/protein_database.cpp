#include "monitor/protein_database.hpp"

#include "common/numeric.hpp"
#include "common/stream_reader.hpp"
#include "common/text.hpp"
#include "monitor/monitor_state.hpp"

#include <cstdlib>

namespace {

struct ProteinRecord {
    int project = 0;
    float points = 0.0f;
    int frames = 0;
    char core[500] = {};
};

enum class RecordRead { Complete, Malformed, End };

// Reads one record of eight blank-separated fields; only the project, the
// points, the frames and the core are kept.
RecordRead readRecord(std::FILE* file, ProteinRecord& record) {
    char word[500];
    int number = 0;
    float decimal = 0.0f;
    bool ok = scanInteger(file, &record.project) && scanWord(file, word, sizeof word) &&
              scanInteger(file, &number) && scanFloat(file, &decimal) &&
              scanFloat(file, &decimal) && scanFloat(file, &record.points) &&
              scanInteger(file, &record.frames) && scanWord(file, record.core, sizeof record.core);
    if (ok) {
        return RecordRead::Complete;
    }
    return std::feof(file) ? RecordRead::End : RecordRead::Malformed;
}

void setUnknown(MonitorState& s) {
    s.proteinFound = 0;
    s.unitPoints = 0;
    s.unitFrames = 0;
    copyText(s.coreName, "Unknown");
}

} // namespace

int projectNumberOf(const char* unitName) {
    char work[8];
    int i = 0;
    for (; i < 6 && unitName[i] != '\0'; ++i) {
        char c = unitName[i];
        work[i] = (c >= '0' && c <= ':') ? c : '-';
    }
    for (; i < 7; ++i) {
        work[i] = '-';
    }
    work[7] = '\0';
    return std::abs(parseInteger(work)); // at most six digits: never INT_MIN
}

int lookupProtein(MonitorState& s) {
    s.projectNumber = projectNumberOf(s.unitName);
    if (s.projectNumber == 0) {
        s.projectNumber = projectNumberOfTag(s.unitTag); // multi-core clients' generic names
    }
    std::FILE* file = std::fopen(ProteinDatabaseFileName, "r");
    if (file == nullptr) {
        setUnknown(s);
        return 1;
    }
    ProteinRecord record;
    char skipped[500];
    for (;;) {
        RecordRead read = readRecord(file, record);
        if (read == RecordRead::End) {
            break;
        }
        if (read == RecordRead::Malformed) {
            discardLinePiece(file, skipped, sizeof skipped); // skip the bad line
            continue;
        }
        if (record.project == s.projectNumber) {
            s.unitPoints = truncateToInt(record.points);
            s.unitFrames = record.frames;
            copyText(s.coreName, record.core);
            s.proteinFound = 1;
            std::fclose(file);
            return 0;
        }
    }
    std::fclose(file);
    setUnknown(s);
    return 0;
}
