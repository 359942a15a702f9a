// Costs of one update (re-reading a real client unit file) and of one
// protein lookup in a 20,000-record database.
#include "common/text.hpp"
#include "monitor/monitor_state.hpp"
#include "monitor/protein_database.hpp"
#include "monitor/unit_tracker.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

// A client folder with a real unit file and a synthetic database whose
// records are projects 1 to 20000; the bench runs in its monitor folder.
class BenchFolder {
public:
    BenchFolder() {
        root_ = fs::temp_directory_path() / "vigilon-bench";
        fs::remove_all(root_);
        fs::create_directories(root_ / "FAH" / "vigilon");
        fs::copy_file(fs::path(VIGILON_TEST_DATA) / "unitinfo" / "GPU3_1-unitinfo.txt",
                      root_ / "FAH" / "unitinfo.txt");
        std::ofstream database(root_ / "FAH" / "vigilon" / "database.txt");
        for (int project = 1; project <= 20000; ++project) {
            database << project << " p" << project << "_Protein 12345 4.5 7.25 " << project % 900
                     << ".5 100 GRO-A" << project % 7 << "\n";
        }
        database.close();
        fs::current_path(root_ / "FAH" / "vigilon");
    }
    ~BenchFolder() {
        fs::current_path(root_);
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

private:
    fs::path root_;
};

void pollUnitFileBench(benchmark::State& run) {
    BenchFolder folder;
    static MonitorState state;
    pollUnitFile(state);
    for (auto _ : run) {
        benchmark::DoNotOptimize(pollUnitFile(state));
    }
}
BENCHMARK(pollUnitFileBench)->Unit(benchmark::kMicrosecond);

void lookupProteinBench(benchmark::State& run) {
    BenchFolder folder;
    static MonitorState state;
    const char* name = run.range(0) == 0 ? "p10_first" : "p19999_last";
    copyText(state.unitName, name);
    for (auto _ : run) {
        benchmark::DoNotOptimize(lookupProtein(state));
    }
    run.SetLabel(name);
}
BENCHMARK(lookupProteinBench)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
