#!/usr/bin/env bash
# Builds the installer bundle and opens its window.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(getconf _NPROCESSORS_ONLN 2>/dev/null || echo 2)" --target ZunoInstaller

bundle=build/release/ZunoInstaller.app
if [[ "$(uname -s)" == Darwin ]]; then
    exec open -W "$bundle"
fi
exec "$bundle/Contents/MacOS/ZunoInstaller" "$@"
