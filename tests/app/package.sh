#!/bin/sh
# The tarballs a user gets: CPack makes them from this build into a scratch
# folder, they are unpacked in another, and the bundle inside must be whole and
# install the sample payload through its own window (e2e.sh install on the
# unpacked executable, which finds its resources beside itself); the checker's
# archive must run from where it is unpacked.
#
#   package.sh <cpack> <build dir> <source dir> [<screenshot dir>]
set -u

cpack=${1-}
build=${2-}
source_dir=${3-}
shots=${4-}
[ -f "$build/CPackConfig.cmake" ] || { echo "usage: $0 <cpack> <build dir> <source dir> [<shots>]" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zuno-package.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cpack" --config "$build/CPackConfig.cmake" -G TGZ -B "$work/out" >"$work/cpack.log" 2>&1 ||
    fail "cpack failed: $(tail -n 20 "$work/cpack.log")"
set -- "$work"/out/ZunoInstaller-*.tar.gz
[ $# -eq 1 ] && [ -f "$1" ] || fail "expected one ZunoInstaller-*.tar.gz, found: $*"
tarball=$1

top=$(tar -tzf "$tarball" | sed 's|^\./||; s|/.*||' | sort -u)
[ "$top" = ZunoInstaller.app ] || fail "the tarball's top level is not just ZunoInstaller.app: $top"
mkdir "$work/unpacked"
tar -xzf "$tarball" -C "$work/unpacked" || fail "cannot unpack $tarball"
app="$work/unpacked/ZunoInstaller.app/Contents"
for file in Info.plist Resources/ZunoInstaller.icns Resources/en.lproj/Localizable.strings \
    Resources/tr.lproj/Localizable.strings Resources/payload/Install.command Resources/payload/VERSION; do
    [ -s "$app/$file" ] || fail "the unpacked bundle has no $file"
done
[ -x "$app/MacOS/ZunoInstaller" ] || fail "the unpacked bundle has no executable"

# The checker's own archive beside it, to unpack into a prefix: it runs from
# there and passes the payload of the bundle it came with.
set -- "$work"/out/zuno-payload-check-*.tar.gz
[ $# -eq 1 ] && [ -f "$1" ] || fail "expected one zuno-payload-check-*.tar.gz beside the bundle's, found: $*"
top=$(tar -tzf "$1" | sed 's|^\./||; s|/.*||' | sort -u | tr '\n' ' ')
[ "$top" = "bin share " ] || fail "the checker's archive holds more than bin/ and share/: $top"
mkdir "$work/prefix" && tar -xzf "$1" -C "$work/prefix" || fail "cannot unpack $1"
[ -s "$work/prefix/share/doc/zuno-payload-check/payload-protocol.md" ] || fail "the checker's archive has no protocol page"
"$work/prefix/bin/zuno-payload-check" --version | grep -q '^zuno-payload-check [0-9]' ||
    fail "the packaged checker does not say its version"
"$work/prefix/bin/zuno-payload-check" "$app/Resources/payload" >"$work/check.log" 2>&1 ||
    fail "the packaged checker does not pass the packaged payload: $(tail -n 20 "$work/check.log")"

sh "$(dirname "$0")/e2e.sh" install "$app/MacOS/ZunoInstaller" "$source_dir" "$shots"
