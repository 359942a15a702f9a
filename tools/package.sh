#!/usr/bin/env bash
# Builds the release archives and checks them: the Windows i686 cross build
# (MinGW-w64) and the Linux build, both without tests, each packed by cpack.
# Leaves dist/vigilon-<version>-windows.zip,
# dist/vigilon-<version>-linux-x86_64.tar.gz and, from the Linux build, the
# server's Debian package dist/vigilon-server_<version>_amd64.deb, and
# prints their sizes. The check installs and purges the Debian package.
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
for package in g++-mingw-w64-i686 file dpkg-dev; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
fi

# Builds one configuration, with the server (ON) or without (OFF), and packs
# it; prints the paths of the packages, one a line.
package() {
    local build=$1 server=$2
    shift 2
    cmake -S "$root" -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DVIGILON_WERROR=ON -DVIGILON_TESTS=OFF -DVIGILON_BENCHMARKS=OFF -DVIGILON_FUZZ=OFF \
          -DVIGILON_SERVER="$server" "$@" >/dev/null
    cmake --build "$build" -j 2 >&2
    rm -rf "$build/packages"
    (cd "$build" && cpack >&2)
    find "$build/packages" -maxdepth 1 -type f \( -name 'vigilon-*.zip' -o -name 'vigilon-*.tar.gz' \
         -o -name 'vigilon-server_*.deb' \) | sort
}

echo "== package: Windows i686"
windows=$(package "$stem-mingw-i686" OFF --toolchain "$root/cmake/mingw-i686.cmake")
echo "== package: Linux, with the server's Debian package"
made=$(package "$stem-linux" ON)
linux=$(grep '\.tar\.gz$' <<<"$made" || true)
deb=$(grep '\.deb$' <<<"$made" || true)
[ -f "$windows" ] && [ -f "$linux" ] && [ -f "$deb" ] || { echo "FAIL: cpack made no archive"; exit 1; }

mkdir -p "$dist"
rm -f "$dist"/vigilon-*.zip "$dist"/vigilon-*.tar.gz "$dist"/vigilon-server_*.deb
cp "$windows" "$linux" "$deb" "$dist/"
archives=("$dist/$(basename "$windows")" "$dist/$(basename "$linux")" "$dist/$(basename "$deb")")
echo "== package: archives built in $((SECONDS - started)) s"
stat -c '%n  %s bytes' "${archives[@]}"
bash tests/release/package_check.sh "${archives[@]}"
