#!/usr/bin/env bash
# Installs what is needed, builds and runs every test: Linux (GCC, then
# AddressSanitizer + UndefinedBehaviorSanitizer, then Clang) and Windows
# (MinGW-w64 i686 and x86_64, under Wine), then the release archives. A
# Release build (-O3) of each platform, tests included, is built but not run:
# the optimiser's own warnings are errors there too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash tools/install_deps.sh

for preset in linux linux-asan linux-clang; do
    echo "== $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j 2
    ctest --preset "$preset" --timeout 300 -j 2
done

echo "== linux-release (build only)"
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release -j 2

echo "== fuzz"
bash tools/fuzz.sh

if [ "${VIGILON_SKIP_WINDOWS:-0}" != 1 ]; then
    bash tools/test_windows.sh
    echo "== mingw-i686-release (build only)"
    cmake --preset mingw-i686-release >/dev/null
    cmake --build --preset mingw-i686-release -j 2
fi

if [ "${VIGILON_SKIP_PACKAGE:-0}" != 1 ]; then
    echo "== package"
    bash tools/package.sh
fi
