#!/usr/bin/env bash
# The macOS release, end to end: builds the release bundle; the package
# target puts the Qt frameworks in it (macdeployqt), signs it and makes the
# disk image; then this signs the disk image, notarises and staples it when
# credentials are given, and checks what it made.
#
#   scripts/release-macos.sh [--universal] [--identity "Developer ID Application: Name (TEAMID)"]
#
#   --universal   arm64 and x86_64 in one bundle; needs a Qt and a simdjson
#                 built for both (ZUNO_QT_PREFIX, ZUNO_SIMDJSON_PREFIX), which
#                 Homebrew's are not
#   --identity    the signing identity, in a keychain codesign can use; signs
#                 with the hardened runtime and a secure timestamp. Without it
#                 everything is signed ad hoc, for testing on Apple silicon.
#
# The environment can give the same, as CI does:
#   ZUNO_CODESIGN_IDENTITY   instead of --identity
#   ZUNO_NOTARY_PROFILE      a notarytool keychain profile (xcrun notarytool store-credentials), or
#   APPLE_ID, APPLE_TEAM_ID, APPLE_APP_PASSWORD  an Apple ID with an app-specific password
#   ZUNO_QT_PREFIX           the Qt to build with; Homebrew's by default
#   ZUNO_SIMDJSON_PREFIX     the simdjson to build with; Homebrew's by default
# Notarisation runs only with credentials and an identity.
#
# Output: build/release-macos/ZunoInstaller-<version>-Darwin.dmg
set -euo pipefail
cd "$(dirname "$0")/.."

die() { echo "release-macos.sh: $*" >&2; exit 1; }
step() { printf '\n== %s\n' "$*"; }

[[ "$(uname -s)" == Darwin ]] || die "this makes the macOS release: run it on a Mac"

universal=0
identity=${ZUNO_CODESIGN_IDENTITY:-}
while (($#)); do
    case $1 in
    --universal) universal=1 ;;
    --identity)
        [[ $# -ge 2 && -n $2 ]] || die "--identity needs a value"
        identity=$2
        shift
        ;;
    -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) die "unknown option $1 (see --help)" ;;
    esac
    shift
done

notary=()
if [[ -n ${ZUNO_NOTARY_PROFILE:-} ]]; then
    notary=(--keychain-profile "$ZUNO_NOTARY_PROFILE")
elif [[ -n ${APPLE_ID:-} && -n ${APPLE_TEAM_ID:-} && -n ${APPLE_APP_PASSWORD:-} ]]; then
    notary=(--apple-id "$APPLE_ID" --team-id "$APPLE_TEAM_ID" --password "$APPLE_APP_PASSWORD")
fi
if ((${#notary[@]})) && [[ -z $identity ]]; then
    die "notarisation needs a Developer ID signature: give --identity or ZUNO_CODESIGN_IDENTITY"
fi

scripts/install-deps.sh
qt=${ZUNO_QT_PREFIX:-$(brew --prefix qt)}
simdjson=${ZUNO_SIMDJSON_PREFIX:-$(brew --prefix simdjson)}
build=build/release-macos
# Its own build folder: no tests or benchmarks (Homebrew's GoogleTest is not
# universal), and the release preset's folder stays as the README uses it.
configure=(-DCMAKE_PREFIX_PATH="$qt;$simdjson;$(brew --prefix nlohmann-json)" -DBUILD_TESTING=OFF -DZUNO_BENCH=OFF)
if ((universal)); then
    # Every library the executable links must hold both architectures.
    for library in "$qt/lib/QtCore.framework/QtCore:ZUNO_QT_PREFIX" "$simdjson/lib/libsimdjson.dylib:ZUNO_SIMDJSON_PREFIX"; do
        file=${library%:*}
        archs=$(lipo -archs "$file") || die "no $file"
        [[ $archs == *arm64* && $archs == *x86_64* ]] ||
            die "$file has $archs only; a universal build needs arm64 and x86_64 (set ${library##*:})"
    done
    configure+=(-DCMAKE_OSX_ARCHITECTURES="arm64;x86_64")
else
    configure+=(-DCMAKE_OSX_ARCHITECTURES=)
fi

step "build, deploy Qt, sign (${identity:-ad hoc}) and make the disk image"
cmake --preset release -B "$build" "${configure[@]}" >/dev/null
rm -f "$build"/ZunoInstaller-*.dmg
ZUNO_CODESIGN_IDENTITY=$identity cmake --build "$build" --target package
dmgs=("$build"/ZunoInstaller-*.dmg)
[[ ${#dmgs[@]} -eq 1 && -f ${dmgs[0]} ]] || die "expected one disk image in $build, found: ${dmgs[*]}"
dmg=${dmgs[0]}
if [[ -n $identity ]]; then
    codesign --force --sign "$identity" --timestamp "$dmg"
fi

step "check the disk image"
hdiutil verify "$dmg"
mount=$(mktemp -d "${TMPDIR:-/tmp}/zuno-dmg.XXXXXX")
app_pid=
detach() {
    [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null
    hdiutil detach "$mount" -quiet 2>/dev/null || true
    rmdir "$mount" 2>/dev/null || true
}
trap detach EXIT
hdiutil attach -nobrowse -noautoopen -readonly -mountpoint "$mount" "$dmg" >/dev/null
app="$mount/ZunoInstaller.app"
[[ -d $app ]] || die "no ZunoInstaller.app in the disk image"
[[ $(readlink "$mount/Applications") == /Applications ]] || die "no link to /Applications in the disk image"
[[ -d $app/Contents/Frameworks/QtCore.framework ]] || die "the Qt frameworks were not deployed"
[[ -s $app/Contents/Resources/ZunoInstaller.icns ]] || die "the bundle has no icon"
codesign --verify --deep --strict --verbose=2 "$app"
# No code in the bundle may load anything from the build machine's Homebrew.
while IFS= read -r -d '' code; do
    file -b "$code" | grep -q Mach-O || continue
    outside=$(otool -L "$code" | awk '/^\t/ { print $1 }' |
        grep -Ev '^(@rpath|@executable_path|@loader_path|/System/Library|/usr/lib)/' || true)
    [[ -z $outside ]] || die "${code#"$app"/} loads from outside the bundle: $outside"
done < <(find "$app/Contents" -type f \( -perm -u+x -o -name '*.dylib' \) -print0)
if ((universal)); then
    archs=$(lipo -archs "$app/Contents/MacOS/ZunoInstaller")
    [[ $archs == *arm64* && $archs == *x86_64* ]] || die "the executable is $archs only, not universal"
fi
# It starts from the image as shipped (the cocoa platform is the one deployed):
# dyld and plugin failures end it at once.
"$app/Contents/MacOS/ZunoInstaller" &
app_pid=$!
sleep 3
kill -0 "$app_pid" 2>/dev/null || die "the installer from the disk image ended at start"
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=
detach
trap - EXIT

if ((${#notary[@]})); then
    step "notarise and staple"
    result=$(xcrun notarytool submit "$dmg" "${notary[@]}" --wait --timeout 1h --output-format json) || true
    echo "$result"
    if ! grep -Eq '"status" *: *"Accepted"' <<<"$result"; then
        id=$(sed -n 's/.*"id" *: *"\([^"]*\)".*/\1/p' <<<"$result" | head -n 1)
        [[ -n $id ]] && xcrun notarytool log "$id" "${notary[@]}" || true
        die "notarisation was not accepted"
    fi
    xcrun stapler staple "$dmg"
    xcrun stapler validate "$dmg"
    spctl --assess --type open --context context:primary-signature --verbose=2 "$dmg"
else
    echo "Not notarised: no credentials (ZUNO_NOTARY_PROFILE, or APPLE_ID, APPLE_TEAM_ID and APPLE_APP_PASSWORD)."
fi

step "done: $dmg"
