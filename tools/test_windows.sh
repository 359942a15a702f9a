#!/usr/bin/env bash
# Builds the Windows programs with MinGW-w64 (presets mingw-i686 and
# mingw-x86_64) and runs their tests under Wine, in a private Wine prefix
# inside build/. Installs what it needs on Debian 12 (run as root). Exits
# non-zero when anything fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
started=$SECONDS

# --- Packages: the cross compilers, Wine for both architectures, CMake and
# the GoogleTest sources.
packages=(cmake make googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386
          libgl1-mesa-dri:i386 fonts-liberation xvfb trayer xdotool x11-utils imagemagick python3)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    dpkg --add-architecture i386
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y "${packages[@]}"
fi

# The window tests need a display: an Xvfb of this script's own, with a tray
# host that Wine's desktop process finds when it starts; then the test
# prefix and one warm Wine server.
source "$root/tests/e2e/lib/xsession.sh"
source "$root/tools/wine_env.sh"
trap stop_wine_display EXIT
start_wine_display "$root"
echo "== Wine ready after $((SECONDS - started)) s"

status=0
for preset in mingw-i686 mingw-x86_64; do
    echo "== $preset"
    phase=$SECONDS
    if ! cmake --preset "$preset" >"$root/build/$preset-configure.log" 2>&1; then
        cat "$root/build/$preset-configure.log"
        echo "== $preset: configure FAILED"
        status=1
        continue
    fi
    if ! cmake --build --preset "$preset" -j 2; then
        echo "== $preset: build FAILED"
        status=1
        continue
    fi
    echo "== $preset: built in $((SECONDS - phase)) s"
    phase=$SECONDS
    # Whatever Wine starts on the first run of a test program (of this
    # architecture) inherits /dev/null here, not the pipe ctest reads from.
    for program in "$root/build/$preset"/tests/*.exe; do
        timeout 60 wine "$program" --gtest_list_tests >/dev/null 2>&1 </dev/null || true
    done
    if ! ctest --preset "$preset" --timeout 300 -j 2; then
        status=1
    fi
    echo "== $preset: tested in $((SECONDS - phase)) s"
done

echo "== Windows builds and tests finished in $((SECONDS - started)) s"
exit $status
