#!/bin/sh
# The built installer as a screen reader meets it. Under a private Xvfb with a
# small window manager, a private D-Bus session bus and the AT-SPI registry,
# the real application is driven through its screens, in English and in
# Turkish, by keyboard alone:
#   tree    screen_reader.py reads its accessibility tree through the AT-SPI
#           client library, from its own process;
#   speech  speech.py runs Orca beside it and listens to what Orca says.
#
#   accessibility.sh tree|speech <ZunoInstaller executable> <landing page address>
#
# Exit status 77 (skipped) where a tool is missing (macOS, a bare container).
set -u

mode=${1-}
app=${2-}
landing=${3-}
case $mode in
tree) driver=screen_reader.py limit=170 ;;
speech) driver=speech.py limit=230 ;;
*) app= ;;
esac
[ -x "$app" ] && [ -n "$landing" ] || { echo "usage: $0 tree|speech <ZunoInstaller executable> <landing page address>" >&2; exit 2; }
here=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd)
# Debian's own Python: the AT-SPI bindings and Orca are installed for it alone.
python=/usr/bin/python3
for tool in Xvfb openbox dbus-run-session xdotool xwininfo xprop; do
    command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed" >&2; exit 77; }
done
"$python" -c 'import pyatspi' 2>/dev/null || { echo "skipped: no pyatspi for $python" >&2; exit 77; }
if [ "$mode" = speech ]; then
    [ -x /usr/bin/orca ] && "$python" -c 'import orca.orca_platform' 2>/dev/null \
        || { echo "skipped: the Orca screen reader is not installed" >&2; exit 77; }
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zuno-a11y.XXXXXX") || exit 1
pids=
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A copy of the bundle whose payload is the gated stand-in.
bundle="$work/ZunoInstaller.app"
cp -R "$(dirname "$app")/../.." "$bundle" || exit 1
cp "$here/Install.command" "$bundle/Contents/Resources/payload/Install.command" || exit 1

# -displayfd: Xvfb takes the first display whose socket it can bind (the
# abstract socket decides, so a concurrent Xvfb or a stale /tmp/.X11-unix file
# left by a killed one is no obstacle) and writes its number once it accepts
# clients. -noreset: by default a server resets when its last client leaves and
# drops every client still connecting; an xprop below that left while openbox
# was connecting took openbox down ("Failed to open the display").
timeout -s KILL $((limit + 5)) Xvfb -displayfd 5 -noreset -screen 0 1280x800x24 -nolisten tcp 5>"$work/display" 2>"$work/xvfb.log" &
pids="$pids $!"
tries=100
until [ -s "$work/display" ] && DISPLAY=:$(head -n 1 "$work/display") xprop -root >/dev/null 2>&1; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || { echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.log")" >&2; exit 1; }
    sleep 0.1
done
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY

# A real window manager: it frames the window, so that the positions read
# back are those a user's desktop would give, not merely what the program set.
# Started up to three times should it give up (said in the test's output).
mkdir -p "$work/config"
wm=
starts=0
tries=150
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    if [ -z "$wm" ] || { ! kill -0 "$wm" 2>/dev/null && [ "$starts" -lt 3 ]; }; then
        [ -n "$wm" ] && echo "openbox stopped, started again: $(cat "$work/openbox.log")" >&2
        starts=$((starts + 1))
        XDG_CONFIG_HOME="$work/config" timeout -s KILL $((limit + 5)) openbox --sm-disable >"$work/openbox.log" 2>&1 &
        wm=$!
        pids="$pids $wm"
    fi
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || { echo "FAIL: openbox did not start: $(cat "$work/openbox.log")" >&2; exit 1; }
    sleep 0.1
done

timeout -s KILL "$limit" dbus-run-session -- "$python" "$here/$driver" "$bundle" "$work" "$landing" 2>"$work/bus.log"
status=$?
[ "$status" -eq 0 ] || grep -v 'fd limit\|Activating\|Successfully activated' "$work/bus.log" >&2
exit "$status"
