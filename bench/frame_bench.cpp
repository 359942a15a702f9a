// CPU cost of one status frame on the real window and GL context (under
// Xvfb: Mesa's software renderer), counted over all of the process's threads
// because the renderer draws on threads of its own.
#include "common/text.hpp"
#include "monitor/display/display.hpp"
#include "monitor/monitor_state.hpp"
#include "platform/process.hpp"
#include "platform/window.hpp"

#include <benchmark/benchmark.h>

namespace {

void ignoreEvent(void*, platform::WindowEvent) {}

void drawFrame(benchmark::State& bench) {
    static MonitorState state;
    state.instance = platform::moduleInstance();
    platform::registerWindowClass(state.instance, WindowClassName, WindowIconResource, ignoreEvent,
                                  nullptr);
    state.window = platform::createStatusWindow(state.instance, WindowClassName, ProgramTitle,
                                                StatusWindowWidth, StatusWindowHeight);
    if (state.window == nullptr) {
        bench.SkipWithError("no display");
        return;
    }
    createRenderContext(state);
    createFontLists(state);
    copyText(state.unitName, "p2665_IBX_in_water");
    copyText(state.coreName, "GROMACS");
    state.progressPercent = 42;
    for (auto _ : bench) {
        drawStatusFrame(state);
    }
    deleteFontLists(state);
    destroyRenderContext(state);
    platform::destroyWindow(state.window);
}

} // namespace

BENCHMARK(drawFrame)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
