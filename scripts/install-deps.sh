#!/usr/bin/env bash
# Installs what building and testing need, and nothing when it is all there.
# Debian 12 (as root or with sudo) and macOS with Homebrew.
set -euo pipefail

if [[ "$(uname -s)" == Darwin ]]; then
    command -v brew >/dev/null || { echo "Homebrew is needed: https://brew.sh" >&2; exit 1; }
    # qtbase, not the qt formula that pulls in every Qt module: qtbase has
    # Core, Gui, Widgets, Test, the cocoa platform and macdeployqt. xmllint,
    # for the checker's JUnit report test, comes with macOS.
    for formula in cmake ninja qtbase nlohmann-json simdjson googletest google-benchmark llvm librsvg yamllint; do
        brew list --versions "$formula" >/dev/null || brew install "$formula"
    done
    exit 0
fi

packages=(build-essential cmake ninja-build clang libclang-rt-14-dev
          qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev libxkbcommon-dev
          nlohmann-json3-dev libsimdjson-dev libgtest-dev libbenchmark-dev
          librsvg2-bin python3-pil qt6-image-formats-plugins
          xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core yamllint libxml2-utils
          openbox dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0 orca)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]})); then
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo=sudo
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
