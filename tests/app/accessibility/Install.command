#!/bin/sh
# Stand-in payload for the accessibility runs. Each run counts itself in
# $ZUNO_TEST_GATES/runs and takes its line of $ZUNO_TEST_GATES/plan: its pace,
# then its result code ("OK" completes). Paces: "gated" waits for a gate file
# before each stage and before the end, so that a test can read, or listen
# to, every progress screen; "quick" reports the stages without waiting;
# "early" ends before any stage. Without a plan: "gated INSTALL_FAILED", then
# "early RUNTIME_UNAVAILABLE", then "quick OK" for every later run. Every wait
# gives up after 30 s.
exec 3>&1 1>&2
gates=${ZUNO_TEST_GATES:?}
runs=$(($(cat "$gates/runs" 2>/dev/null || echo 0) + 1))
echo "$runs" >"$gates/runs"

if [ -e "$gates/plan" ]; then
    plan=$(sed -n "${runs}p" "$gates/plan")
else
    case $runs in
    1) plan="gated INSTALL_FAILED" ;;
    2) plan="early RUNTIME_UNAVAILABLE" ;;
    *) plan="quick OK" ;;
    esac
fi
pace=${plan%% *}
code=${plan#* }

emit() { printf '%s\n' "$1" >&3; }
pass() {
    [ "$pace" = gated ] || return 0
    tries=600
    while [ ! -e "$gates/$1" ]; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || exit 1
        sleep 0.05
    done
}

pass started
if [ "$pace" != early ]; then
    for stage in validated registered checking; do
        emit "{\"event\":\"progress\",\"stage\":\"$stage\"}"
        pass "$stage"
    done
fi
if [ "$code" = OK ]; then
    emit "{\"event\":\"complete\",\"version\":\"$(cat VERSION)\"}"
    exit 0
fi
emit "{\"event\":\"error\",\"code\":\"$code\"}"
exit 1
