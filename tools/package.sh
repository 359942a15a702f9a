#!/usr/bin/env bash
# Builds the release archives and checks them: the Windows i686 cross build
# (MinGW-w64) and the Linux build, both without tests, each packed by cpack.
# Leaves dist/vigilon-<version>-windows.zip and
# dist/vigilon-<version>-linux-x86_64.tar.gz and prints their sizes.
# The build folders are build/package-linux and build/package-mingw-i686;
# VIGILON_PACKAGE_BUILD=<stem> puts them in <stem>-linux and <stem>-mingw-i686.
# Installs what it needs on Debian 12.
set -euo pipefail
# A failed step inside the packing function ends the script too.
shopt -s inherit_errexit
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
started=$SECONDS
stem=${VIGILON_PACKAGE_BUILD:-$root/build/package}
dist=$root/dist

bash tools/install_deps.sh
missing=()
for package in g++-mingw-w64-i686 file; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi

# Builds one configuration and packs it; prints the archive's path.
package() {
    local build=$1
    shift
    cmake -S "$root" -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DVIGILON_WERROR=ON -DVIGILON_TESTS=OFF -DVIGILON_BENCHMARKS=OFF -DVIGILON_FUZZ=OFF \
          -DVIGILON_SERVER=OFF "$@" >/dev/null
    cmake --build "$build" -j 2 >&2
    rm -rf "$build/packages"
    (cd "$build" && cpack >&2)
    find "$build/packages" -maxdepth 1 -type f -name 'vigilon-*'
}

echo "== package: Windows i686"
windows=$(package "$stem-mingw-i686" --toolchain "$root/cmake/mingw-i686.cmake")
echo "== package: Linux"
linux=$(package "$stem-linux")
[ -f "$windows" ] && [ -f "$linux" ] || { echo "FAIL: cpack made no archive"; exit 1; }

mkdir -p "$dist"
rm -f "$dist"/vigilon-*.zip "$dist"/vigilon-*.tar.gz
cp "$windows" "$linux" "$dist/"
archives=("$dist/$(basename "$windows")" "$dist/$(basename "$linux")")
echo "== package: archives built in $((SECONDS - started)) s"
stat -c '%n  %s bytes' "${archives[@]}"
bash tests/release/package_check.sh "${archives[@]}"
