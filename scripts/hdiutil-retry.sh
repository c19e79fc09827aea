#!/bin/sh
# hdiutil as CPack calls it (CPACK_COMMAND_HDIUTIL). On hosted macOS runners
# `hdiutil create` fails now and then with "Resource busy" while something
# else holds the new image; that create is tried again, up to
# ZUNO_HDIUTIL_ATTEMPTS times (5) with a growing pause (ZUNO_HDIUTIL_PAUSE
# seconds, 5, times the attempt). Any other call, and any other failure, is
# hdiutil's own. ZUNO_HDIUTIL is the hdiutil to run (/usr/bin/hdiutil).
hdiutil=${ZUNO_HDIUTIL:-/usr/bin/hdiutil}
[ "$1" = create ] || exec "$hdiutil" "$@"

attempts=${ZUNO_HDIUTIL_ATTEMPTS:-5}
attempt=1
while :; do
    output=$("$hdiutil" "$@" 2>&1)
    status=$?
    printf '%s\n' "$output"
    [ "$status" -eq 0 ] && exit 0
    case $output in
    *"Resource busy"*) ;;
    *) exit "$status" ;;
    esac
    [ "$attempt" -ge "$attempts" ] && exit "$status"
    echo "hdiutil-retry.sh: hdiutil create: resource busy, attempt $attempt of $attempts; trying again" >&2
    sleep $((attempt * ${ZUNO_HDIUTIL_PAUSE:-5}))
    attempt=$((attempt + 1))
done
