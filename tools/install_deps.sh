#!/usr/bin/env bash
# Installs what the Linux build, its tests and the demo need (Debian 12).
set -euo pipefail
packages=(cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev libbenchmark-dev
          libcurl4-openssl-dev libwslay-dev libsystemd-dev libgtk-3-dev pkg-config libx11-dev libgl-dev libglx-dev
          mesa-common-dev libgl1-mesa-dri:amd64 xfonts-75dpi xfonts-base
          xvfb openbox trayer xdotool wmctrl x11-utils x11-apps imagemagick
          python3 python3-websockets python3-dbus python3-gi dbus-daemon dbus-bin util-linux procps
          libsqlite3-dev libcpp-httplib-dev libssl-dev nlohmann-json3-dev chromium curl openssl)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
# Node.js and npm for the dashboard's browser test, unless a Node.js from
# elsewhere (which brings its own npm) is installed already.
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
