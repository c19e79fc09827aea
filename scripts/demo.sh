#!/usr/bin/env bash
# Shows the whole road on a machine without the Codex desktop app: builds the
# release bundle, makes a temporary home holding a stand-in Codex app and
# starts the real installer with HOME (and the XDG folders) pointed there, so
# that the sample payload can be installed through the window. Your own home
# folder is left alone.
#
#   scripts/demo.sh             stand-in present: ready -> progress -> complete
#   scripts/demo.sh --missing   no stand-in yet: the prerequisite screen; make
#                               it from another terminal (the command is
#                               printed) and press "Check again"
#   scripts/demo.sh --broken    a stand-in that cannot start: the error screen
set -euo pipefail
cd "$(dirname "$0")/.."

variant=${1-}
case $variant in '' | --missing | --broken) ;; *) echo "usage: $0 [--missing | --broken]" >&2; exit 2 ;; esac

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(getconf _NPROCESSORS_ONLN 2>/dev/null || echo 2)" --target ZunoInstaller
app="$PWD/build/release/ZunoInstaller.app/Contents/MacOS/ZunoInstaller"

home=$(mktemp -d "${TMPDIR:-/tmp}/zuno-demo.XXXXXX")
case $variant in
'') tools/make-standin-codex.sh "$home" >/dev/null ;;
--broken) tools/make-standin-codex.sh "$home" --broken >/dev/null ;;
--missing) ;;
esac

if [[ "$(uname -s)" == Darwin ]]; then
    dest="$home/Library/Application Support/Vexa Zuno/zuno-starter"
else
    dest="$home/.local/share/vexa-zuno/zuno-starter"
fi

echo "Temporary home: $home"
[[ -n $variant ]] || echo "Stand-in Codex app: $home/Applications/Codex.app"
if [[ $variant == --missing ]]; then
    echo "To make the Codex app appear, run this in another terminal, then press \"Check again\":"
    echo "    $PWD/tools/make-standin-codex.sh '$home'"
fi
if [[ "$(uname -s)" == Darwin && -d /Applications/Codex.app ]]; then
    echo "Note: /Applications/Codex.app exists and is found before the stand-in."
fi
echo "Starting the installer; close its window to end the demo."

runtime=${XDG_RUNTIME_DIR:-}
if [[ -z $runtime ]]; then
    runtime="$home/.runtime"
    mkdir -m 700 "$runtime"
fi
status=0
env HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
    XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$runtime" "$app" || status=$?

echo
if [[ -d $dest ]]; then
    echo "The sample payload was installed in $dest:"
    (cd "$dest" && find . -type f | sed 's|^\./|    |' | sort)
else
    echo "Nothing was installed (expected place: $dest)."
fi
echo "Remove the temporary home when you are done: rm -rf '$home'"
exit "$status"
