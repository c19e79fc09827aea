#!/bin/sh
# Stand-in payload for the accessibility run. Each run counts itself in
# $ZUNO_TEST_GATES/runs. The first run waits for a gate file before each of
# its stages, so that every progress screen can be read, then fails with
# INSTALL_FAILED; the second fails at once with RUNTIME_UNAVAILABLE; any
# later run succeeds. Every wait gives up after 30 s.
exec 3>&1 1>&2
gates=${ZUNO_TEST_GATES:?}
runs=$(($(cat "$gates/runs" 2>/dev/null || echo 0) + 1))
echo "$runs" >"$gates/runs"

emit() { printf '%s\n' "$1" >&3; }
stage() { emit "{\"event\":\"progress\",\"stage\":\"$1\"}"; }
pass() {
    tries=600
    while [ ! -e "$gates/$1" ]; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || exit 1
        sleep 0.05
    done
}

case $runs in
1)
    pass started
    stage validated
    pass validated
    stage registered
    pass registered
    stage checking
    pass checking
    emit '{"event":"error","code":"INSTALL_FAILED"}'
    exit 1
    ;;
2)
    emit '{"event":"error","code":"RUNTIME_UNAVAILABLE"}'
    exit 1
    ;;
*)
    stage validated
    stage registered
    stage checking
    emit "{\"event\":\"complete\",\"version\":\"$(cat VERSION)\"}"
    ;;
esac
