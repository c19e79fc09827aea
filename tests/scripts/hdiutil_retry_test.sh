#!/bin/sh
# scripts/hdiutil-retry.sh around a stand-in hdiutil that fails a given number
# of times with a given message, then succeeds.
#   hdiutil_retry_test.sh <source dir>
set -u
wrapper="$1/scripts/hdiutil-retry.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

cat >"$scratch/hdiutil" <<'STANDIN'
#!/bin/sh
# Fails $FAILS times with $MESSAGE (status 1), then succeeds; logs each call.
for argument; do printf '[%s]' "$argument"; done >>"$CALLS"
echo >>"$CALLS"
count=$(wc -l <"$CALLS")
if [ "$count" -le "$FAILS" ]; then
    echo "hdiutil: $1 failed - $MESSAGE"
    exit 1
fi
echo "created: $*"
STANDIN
chmod +x "$scratch/hdiutil"

# expect <name> <fails> <message> <expected status> <expected calls> <arguments...>
expect() {
    name=$1 fails=$2 message=$3 status=$4 calls=$5
    shift 5
    : >"$scratch/calls"
    output=$(CALLS="$scratch/calls" FAILS=$fails MESSAGE=$message ZUNO_HDIUTIL="$scratch/hdiutil" \
        ZUNO_HDIUTIL_ATTEMPTS=3 ZUNO_HDIUTIL_PAUSE=0 sh "$wrapper" "$@" 2>&1)
    got=$?
    made=$(wc -l <"$scratch/calls" | tr -d ' ')
    if [ "$got" -ne "$status" ] || [ "$made" -ne "$calls" ]; then
        echo "FAIL $name: status $got (expected $status), $made calls (expected $calls)"
        printf '%s\n' "$output" | sed 's/^/    /'
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

expect "busy twice, then made" 2 "Resource busy" 0 3 create -ov -srcfolder "/tmp/a b" -format UDZO "/tmp/a b.dmg"
expect "busy every time: hdiutil's failure after 3 tries" 9 "Resource busy" 1 3 create -ov out.dmg
expect "another failure is not tried again" 9 "No space left on device" 1 1 create -ov out.dmg
expect "only create is tried again" 9 "Resource busy" 1 1 detach /Volumes/x
expect "made at once" 0 "" 0 1 create -ov out.dmg

# The arguments reach hdiutil as given, spaces included.
: >"$scratch/calls"
CALLS="$scratch/calls" FAILS=0 MESSAGE= ZUNO_HDIUTIL="$scratch/hdiutil" sh "$wrapper" create -srcfolder "/tmp/a b" >/dev/null
if [ "$(cat "$scratch/calls")" != "[create][-srcfolder][/tmp/a b]" ]; then
    echo "FAIL arguments: $(cat "$scratch/calls")"
    failures=$((failures + 1))
fi

[ "$failures" -eq 0 ]
