// The protein database "database.txt", searched for the project of a unit
// name. Pieces: the database, the unit name.
#include "common/text.hpp"
#include "fuzz_input.hpp"
#include "monitor/protein_database.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::freshRun();
    std::vector<std::string> piece = fuzz::pieces(data, size, 2);
    fuzz::writeFile(ProteinDatabaseFileName, piece[0]);
    MonitorState state;
    copyText(state.unitName, piece[1].c_str());
    lookupProtein(state);
    fuzz::requireTerminatedText(state);
    return 0;
}
