#!/usr/bin/env bash
# What the macOS release is built with. Homebrew's bottles target the macOS
# they were built on (Qt: up to 14), so the release takes its libraries from
# elsewhere, built for the oldest macOS the bundle promises (Info.plist's
# LSMinimumSystemVersion) and for both architectures:
#   - Qt 6.8 LTS, Qt's own binaries (macOS 12 or later, arm64 and x86_64),
#     through aqtinstall in a Python environment of its own;
#   - simdjson, built here as a universal static library for that macOS.
#
#   scripts/release-deps-macos.sh PREFIX
#
# It prints the two settings scripts/release-macos.sh takes, as NAME=VALUE
# lines (CI appends them to $GITHUB_ENV):
#   ZUNO_QT_PREFIX=PREFIX/qt/6.8.3/macos
#   ZUNO_SIMDJSON_PREFIX=PREFIX/simdjson
set -euo pipefail
cd "$(dirname "$0")/.."

qt_version=6.8.3
aqtinstall_version=3.3.0
simdjson_tag=v4.6.7
simdjson_commit=cdeb069ad1e8cb2fb479cbb22695cb666cea99ac

die() { echo "release-deps-macos.sh: $*" >&2; exit 1; }
[[ "$(uname -s)" == Darwin ]] || die "this prepares the macOS release: run it on a Mac"
[[ $# -eq 1 && -n $1 ]] || die "usage: scripts/release-deps-macos.sh PREFIX"
mkdir -p "$1"
prefix=$(cd "$1" && pwd)
oldest=$(/usr/libexec/PlistBuddy -c 'Print :LSMinimumSystemVersion' resources/Info.plist.in)

# Progress to standard error: standard output is the settings.
{
    qt="$prefix/qt/$qt_version/macos"
    if [[ ! -f $qt/lib/cmake/Qt6/Qt6Config.cmake ]]; then
        python3 -m venv "$prefix/aqt-env"
        "$prefix/aqt-env/bin/pip" install --quiet "aqtinstall==$aqtinstall_version"
        "$prefix/aqt-env/bin/aqt" install-qt mac desktop "$qt_version" clang_64 --outputdir "$prefix/qt"
    fi
    [[ -f $qt/lib/cmake/Qt6/Qt6Config.cmake ]] || die "no Qt $qt_version in $qt"

    simdjson="$prefix/simdjson"
    if [[ ! -f $simdjson/lib/libsimdjson.a ]]; then
        source="$prefix/simdjson-source"
        rm -rf "$source"
        git clone --quiet --depth 1 --branch "$simdjson_tag" https://github.com/simdjson/simdjson.git "$source"
        [[ $(git -C "$source" rev-parse HEAD) == "$simdjson_commit" ]] ||
            die "simdjson $simdjson_tag is not the commit it was ($simdjson_commit)"
        cmake -S "$source" -B "$source/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_OSX_DEPLOYMENT_TARGET="$oldest" -DCMAKE_OSX_ARCHITECTURES="arm64;x86_64" \
            -DBUILD_SHARED_LIBS=OFF -DSIMDJSON_DEVELOPER_MODE=OFF -DCMAKE_INSTALL_PREFIX="$simdjson" >/dev/null
        cmake --build "$source/build"
        cmake --install "$source/build" >/dev/null
    fi
} >&2

echo "ZUNO_QT_PREFIX=$qt"
echo "ZUNO_SIMDJSON_PREFIX=$simdjson"
