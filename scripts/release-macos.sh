#!/usr/bin/env bash
# The macOS release, end to end: builds the release bundle for the oldest
# macOS it promises (Info.plist's LSMinimumSystemVersion); the package target
# puts the Qt frameworks in it (macdeployqt), signs it and makes the disk
# image; then this signs the disk image, checks what it made, and notarises
# and staples it when credentials are given.
#
#   scripts/release-macos.sh [--universal] [--identity "Developer ID Application: Name (TEAMID)"]
#
# Its Qt and simdjson must be built for that macOS, which Homebrew's are not
# (they target the macOS they were built on): scripts/release-deps-macos.sh
# gets Qt 6.8 from Qt and builds simdjson, and prints the two settings below.
# The script refuses libraries built for a newer macOS before it builds.
#
#   --universal   arm64 and x86_64 in one bundle; needs a Qt and a simdjson
#                 built for both, as release-deps-macos.sh makes them
#   --identity    the signing identity, in a keychain codesign can use; signs
#                 with the hardened runtime and a secure timestamp. Without it
#                 everything is signed ad hoc, for testing on Apple silicon.
#
# The environment can give the same, as CI does:
#   ZUNO_CODESIGN_IDENTITY   instead of --identity
#   ZUNO_NOTARY_PROFILE      a notarytool keychain profile (xcrun notarytool store-credentials), or
#   APPLE_ID, APPLE_TEAM_ID, APPLE_APP_PASSWORD  an Apple ID with an app-specific password
#   ZUNO_QT_PREFIX           the Qt to build with; Homebrew's qtbase by default
#   ZUNO_SIMDJSON_PREFIX     the simdjson to build with; Homebrew's by default
# Notarisation runs only with credentials and an identity.
#
# Output: build/release-macos/ZunoInstaller-<version>-Darwin.dmg, and beside it
# zuno-payload-check-<version>-Darwin.tar.gz (the payload authors' checker on
# its own: bin/ and share/, signed like the bundle, for the same macOS and
# architectures, loading nothing but the system), bundle-check.txt (every file
# of the bundle with its oldest macOS, architectures and what it loads,
# resolved), the otool and lipo output that check read (otool/), and the
# build's log (package.log).
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
qt=${ZUNO_QT_PREFIX:-$(brew --prefix qtbase)}
simdjson=${ZUNO_SIMDJSON_PREFIX:-$(brew --prefix simdjson)}
oldest=$(/usr/libexec/PlistBuddy -c 'Print :LSMinimumSystemVersion' resources/Info.plist.in)
build=build/release-macos
mkdir -p "$build"
# Its own build folder: no tests or benchmarks (Homebrew's GoogleTest is not
# universal), and the release preset's folder stays as the README uses it.
configure=(-DCMAKE_PREFIX_PATH="$qt;$simdjson;$(brew --prefix nlohmann-json)" -DBUILD_TESTING=OFF -DZUNO_BENCH=OFF
           -DCMAKE_OSX_DEPLOYMENT_TARGET="$oldest")
# In CI, as in the test command, warnings are errors (deprecations excepted):
# among them a call of an API newer than macOS $oldest without a check.
if [[ -n ${CI:-} ]]; then
    configure+=(-DZUNO_WERROR=ON)
fi
archs=()
both=
if ((universal)); then
    archs=(--archs arm64,x86_64)
    both=", arm64 and x86_64"
    configure+=(-DCMAKE_OSX_ARCHITECTURES="arm64;x86_64")
else
    configure+=(-DCMAKE_OSX_ARCHITECTURES=)
fi

step "the libraries it links: macOS $oldest or older$both"
libraries=("$qt/lib/QtCore.framework/QtCore")
for library in "$simdjson/lib/libsimdjson.dylib" "$simdjson/lib/libsimdjson.a"; do
    [[ -f $library ]] && libraries+=("$library") && break
done
((${#libraries[@]} == 2)) || die "no simdjson library in $simdjson/lib (set ZUNO_SIMDJSON_PREFIX)"
python3 scripts/bundle_check.py --libraries --min-macos "$oldest" ${archs[@]+"${archs[@]}"} "${libraries[@]}" ||
    die "the libraries above are not for macOS $oldest$both: set ZUNO_QT_PREFIX and ZUNO_SIMDJSON_PREFIX (scripts/release-deps-macos.sh makes both)"

step "build, deploy Qt, sign (${identity:-ad hoc}) and make the disk image"
cmake --preset release -B "$build" "${configure[@]}" >/dev/null
rm -f "$build"/ZunoInstaller-*.dmg
ZUNO_CODESIGN_IDENTITY=$identity cmake --build "$build" --target package 2>&1 | tee "$build/package.log"
# A static library or object built for a newer macOS links with only a warning.
if grep -i "built for newer" "$build/package.log"; then
    die "the build linked code built for a newer macOS than $oldest (above)"
fi
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
# Every file built for macOS $oldest or older and for every architecture, and
# every load and run path resolved inside the bundle or to the system.
rm -rf "$build/otool"
if ! python3 scripts/bundle_check.py "$app" ${archs[@]+"${archs[@]}"} --report "$build/bundle-check.txt" \
    --record "$build/otool" >/dev/null; then
    grep '^PROBLEM' "$build/bundle-check.txt" >&2 || true
    die "the bundle check failed: $build/bundle-check.txt"
fi
tail -n 1 "$build/bundle-check.txt"
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

step "the checker on its own"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
checker="$build/zuno-payload-check-$version-Darwin"
rm -rf "$checker" "$checker.tar.gz"
cmake --build "$build" --target zuno-payload-check 2>&1 | tee -a "$build/package.log"
cmake --install "$build" --component checker --prefix "$checker" >/dev/null
tool="$checker/bin/zuno-payload-check"
python3 scripts/bundle_check.py --libraries --min-macos "$oldest" ${archs[@]+"${archs[@]}"} "$tool" ||
    die "the checker is not built for macOS $oldest$both"
outside=$(otool -L "$tool" | tail -n +2 | awk '{print $1}' | grep -v -E '^(/usr/lib/|/System/Library/)' || true)
[[ -z $outside ]] || die "the checker loads libraries from outside the system: $outside"
if [[ -n $identity ]]; then
    codesign --force --sign "$identity" --options runtime --timestamp "$tool"
else
    codesign --force --sign - "$tool"
fi
codesign --verify --strict --verbose=2 "$tool"
"$tool" --version
tar -czf "$checker.tar.gz" -C "$checker" bin share

if ((${#notary[@]})); then
    step "notarise the checker (a bare program: notarised, not stapled)"
    ditto -c -k --keepParent "$checker" "$checker.zip"
    result=$(xcrun notarytool submit "$checker.zip" "${notary[@]}" --wait --timeout 1h --output-format json) || true
    rm -f "$checker.zip"
    echo "$result"
    grep -Eq '"status" *: *"Accepted"' <<<"$result" || die "the checker's notarisation was not accepted"

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

step "done: $dmg and $checker.tar.gz"
