#!/bin/sh
# End-to-end runs of the built installer under a private Xvfb.
#
#   e2e.sh <mode> <ZunoInstaller executable> <source dir> [<screenshot dir>]
#
# install:      a home with a stand-in Codex app; Return installs the sample
#               payload, the window grows to the complete screen, Return (done) quits.
# install-sigchld-ignored: the same, started by a launcher that ignores SIGCHLD.
# install-non-utf8: the same, from a copy of the bundle under a folder whose
#               name is not UTF-8; the window title is a text, not its key.
# prerequisite: a home without it; the window shows the 374-high prerequisite
#               screen, Return opens the download page and installs nothing,
#               Ctrl+Q quits.
# Every wait has a limit; Xvfb and the installer are stopped on every exit.
set -u

mode=${1-}
app=${2-}
source_dir=${3-}
shots=${4-}
case $mode in install | install-sigchld-ignored | install-non-utf8 | prerequisite) ;; *) echo "usage: $0 <mode> <app> <source dir> [<shots>]" >&2; exit 2 ;; esac
[ -x "$app" ] || { echo "no executable at $app" >&2; exit 2; }
# 77: skipped where there is no X server to start (macOS, a bare container).
for tool in Xvfb xdotool xprop bash; do
    command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed" >&2; exit 77; }
done
[ -d /proc/self ] || { echo "skipped: needs /proc" >&2; exit 77; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zuno-e2e.XXXXXX") || exit 1
xvfb_pid=
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
die() {
    echo "FAIL: $*" >&2
    [ -f "$work/app.log" ] && { echo "--- installer output:" >&2; tail -n 40 "$work/app.log" >&2; }
    exit 1
}

# Polls a shell condition every 0.1 s for at most $1 seconds.
wait_for() {
    limit=$1
    shift
    tries=$((limit * 10))
    while [ "$tries" -gt 0 ]; do
        eval "$*" && return 0
        sleep 0.1
        tries=$((tries - 1))
    done
    return 1
}

# --- a private X server on a free display -----------------------------------
# Under `timeout` so that nothing outlives a test runner that kills this script hard.
timeout -s KILL 115 Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for 10 '[ -s "$work/display" ]' || die "Xvfb did not start: $(cat "$work/xvfb.log")"
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY

# --- the home the installer sees --------------------------------------------
home="$work/home"
mkdir -p "$home" "$work/bin"
# How the installer is started: directly, or through a launcher that ignores
# SIGCHLD (bash hands an ignored signal on across exec; dash does not).
# The variants show the same screens as install and take no screenshots.
set -- "$app"
case $mode in
install-sigchld-ignored)
    printf '#!/bin/bash\ntrap "" CHLD\nexec "$@"\n' >"$work/ignore-sigchld"
    chmod 755 "$work/ignore-sigchld"
    # SIGCHLD is signal 17: bit 16 of the mask, the fifth hex digit from the right.
    "$work/ignore-sigchld" grep -q '^SigIgn:.*[13579bdf]....$' /proc/self/status ||
        die "the launcher does not hand on an ignored SIGCHLD"
    set -- "$work/ignore-sigchld" "$app"
    shots=
    ;;
install-non-utf8)
    bundle=$(cd "$(dirname "$app")/../.." && pwd)
    odd="$work/$(printf 'caf\351 \377')"
    mkdir -p "$odd" && cp -R "$bundle" "$odd/" || die "cannot copy the bundle"
    set -- "$odd/$(basename "$bundle")/Contents/MacOS/$(basename "$app")"
    shots=
    ;;
esac
if [ "$mode" != prerequisite ]; then
    sh "$source_dir/tools/make-standin-codex.sh" "$home" >/dev/null || die "cannot make the stand-in Codex app"
fi
# The download page must not reach a real browser: record what would be opened.
cat >"$work/bin/xdg-open" <<STUB
#!/bin/sh
printf '%s\n' "\$*" >>"$work/opened"
STUB
chmod 755 "$work/bin/xdg-open"
data="$home/data"
dest="$data/vexa-zuno/zuno-starter"

mkdir -m 700 "$work/runtime"
# In a sanitizer build: ignore what the system's D-Bus library keeps at exit,
# and let libxkbcommon-x11 strndup() its unterminated (but bounded) X replies,
# which strict_string_checks reports as an overflow.
LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$0")/lsan.supp"
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0"
export LSAN_OPTIONS ASAN_OPTIONS
HOME=$home XDG_DATA_HOME=$data XDG_RUNTIME_DIR="$work/runtime" PATH="$work/bin:$PATH" QT_QPA_PLATFORM=xcb \
    BROWSER="$work/bin/xdg-open" timeout -s KILL 110 "$@" >"$work/app.log" 2>&1 &
app_pid=$! # the timeout process: it lives as long as the installer and passes on its status

# The only client of this X server: its one visible window is the installer's.
window=$(timeout 20 xdotool search --sync --onlyvisible --class ZunoInstaller 2>/dev/null | head -n 1)
[ -n "$window" ] || die "no installer window within 20 s: $(cat "$work/app.log")"

height() { xdotool getwindowgeometry --shell "$window" | sed -n 's/^HEIGHT=//p'; }
width() { xdotool getwindowgeometry --shell "$window" | sed -n 's/^WIDTH=//p'; }
shoot() { [ -n "$shots" ] && mkdir -p "$shots" && import -display "$DISPLAY" -window root "$shots/$1.png"; }
# Running and not yet a zombie (the shell reaps it only at the wait below).
alive() {
    state=$(awk '{ print $3 }' "/proc/$app_pid/stat" 2>/dev/null)
    [ -n "$state" ] && [ "$state" != Z ]
}
press() {
    xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool key --clearmodifiers "$1"
}
# Waits for the installer to end by itself; its exit status goes to $status.
ended() {
    wait_for "$1" '! alive' || return 1
    wait "$app_pid"
    status=$?
    app_pid=
}

[ "$(width)" = 667 ] || fail "window width $(width), expected 667"
# The window icon as a window manager reads it: the four sizes built in.
icons=$(xprop -id "$window" -notype _NET_WM_ICON 2>/dev/null | grep -o 'Icon ([0-9]* x [0-9]*)' | sort | tr '\n' ' ')
[ "$icons" = "Icon (128 x 128) Icon (16 x 16) Icon (32 x 32) Icon (64 x 64) " ] || fail "window icon sizes: '$icons'"
[ "$(height)" = 374 ] || fail "window height $(height), expected 374"
# The window is really drawn: its dark surface (#20241E) at a corner of the body.
surface() {
    command -v convert >/dev/null 2>&1 || return 0
    pixel=$(import -display "$DISPLAY" -window "$window" png:- 2>/dev/null |
        convert png:- -format '%[fx:int(255*p{4,4}.r)],%[fx:int(255*p{4,4}.g)],%[fx:int(255*p{4,4}.b)]' info:)
    [ "$pixel" = 32,36,30 ]
}
# Let the first frame settle before pressing keys.
sleep 0.5

wait_for 5 surface || fail "the window's surface is not #20241E: $pixel"

# Found through the bundle's string table, wherever the bundle lies.
title=$(xdotool getwindowname "$window")
[ -n "$title" ] && [ "$title" != appTitle ] || fail "window title '$title' is not a text from the string table"

if [ "$mode" != prerequisite ]; then
    shoot e2e-ready
    press Return
    wait_for 30 '[ -f "$dest/manifest.json" ]' || die "the payload did not arrive in $dest"
    for file in README.md manifest.json skills/zuno-review/SKILL.md; do
        cmp -s "$source_dir/resources/payload/zuno-starter/$file" "$dest/$file" || fail "$dest/$file differs from the payload"
    done
    wait_for 30 '[ "$(height)" = 407 ]' || fail "window height $(height) after the install, expected 407"
    [ "$(width)" = 667 ] || fail "window width $(width) after the install, expected 667"
    shoot e2e-complete
    press Return # done
    ended 10 || die "done did not quit"
    [ "$status" = 0 ] || fail "exit status $status after done"
else
    shoot e2e-prerequisite
    press Return # the primary action opens the download page
    wait_for 10 '[ -s "$work/opened" ]' || fail "Return did not open the download page"
    grep -q '^https\?://' "$work/opened" 2>/dev/null || fail "opened something that is not a web page: $(cat "$work/opened" 2>/dev/null)"
    sleep 1
    alive || die "the installer ended after Return"
    [ -e "$data/vexa-zuno" ] && fail "something was installed without the Codex app"
    [ "$(height)" = 374 ] || fail "window height $(height), expected 374"
    press ctrl+q
    ended 10 || die "Ctrl+Q did not quit"
    [ "$status" = 0 ] || fail "exit status $status after Ctrl+Q"
fi

if [ "$failures" -ne 0 ]; then
    echo "--- installer output:" >&2
    tail -n 40 "$work/app.log" >&2
    exit 1
fi
echo "e2e $mode: ok"
