#!/bin/sh
# Fault injection for the sample payload.
#
#   payload-faults.sh [--macos-userland] <payload folder> <source dir>
#
# Every command the script runs (and the Codex tool) is replaced by a stand-in
# first on PATH that stops the run at its N-th call, for every N, in one of
# these ways:
#   kill    SIGKILL of the script alone; the call does not happen
#   group   SIGKILL of the script's whole process group (needs setsid; where
#           there is none, the later sections kill the script alone)
#   reader  the event reader is killed, then the call goes ahead; odd N run
#           with SIGPIPE ignored, as a launcher may leave it
#   term    SIGTERM to the script, then the call goes ahead
#   fail    the call fails with status 1, as on a full disk
# After each stop the destination must hold the complete earlier copy or the
# complete new one (or, killed between the two renames, nothing but the
# earlier copy waiting in the run folder); a run that ended by itself must
# report what it left and leave nothing else. Then a clean run must leave
# exactly one new copy and nothing beside it. Runs killed again while they
# recover, and runs in pairs at once, follow.
# Earlier copies with read-only folders, or with something that cannot be
# removed at all, must be replaced all the same, and never block a later run.
# Payload and home lie under folder names with quotes, a dollar sign, spaces
# and non-ASCII letters; runs get the environment of a Finder launch, its PATH
# included. With --macos-userland that PATH leads to a stand-in for macOS 12's
# commands (macos-userland.sh), so the payload takes its macOS road here too.
# Where the package goes, the test learns by the payload's own rules. Started
# as root, the test runs the payload as nobody, so that permissions count.
set -u

macos=
[ "${1-}" = --macos-userland ] && { macos=1; shift; }
[ "$#" -eq 2 ] || { echo "usage: $0 [--macos-userland] <payload folder> <source dir>" >&2; exit 2; }
source_dir=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/zuno-faults.XXXXXX") || exit 1
cleanup() {
    command -v chflags >/dev/null 2>&1 && chflags -R nouchg "$work" 2>/dev/null
    chmod -R u+rwX "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
chmod 755 "$work" && mkdir -m 1777 "$work/tmp" || exit 1

userland=/usr/bin:/bin:/usr/sbin:/sbin
if [ -n "$macos" ]; then
    userland=$(sh "${0%/*}/macos-userland.sh" "$work/macos") || exit 1
fi
in_userland() { (PATH=$userland && "$@"); }

# An ordinary user to run the payload as: root may remove what the user cannot.
as_user=
owner=
ordinary=1
if [ "$(id -u)" -eq 0 ]; then
    ordinary=
    if command -v setpriv >/dev/null 2>&1 && uid=$(id -u nobody 2>/dev/null) && gid=$(id -g nobody); then
        as_user="setpriv --reuid=$uid --regid=$gid --clear-groups"
        owner="$uid:$gid"
        ordinary=1
    fi
fi
own() { [ -z "$owner" ] || chown -R "$owner" "$@"; }

root="$work/it's \"odd\" \$HOME ünï çødé"
payload="$root/pay load"
home="$root/home"
darwin=
if [ "$(in_userland uname -s)" = Darwin ]; then
    darwin=1
    base="$home/Library/Application Support/Vexa Zuno"
else
    base="$home/data/vexa-zuno"
fi
dest="$base/zuno-starter"
mkdir -p "$root" "$home" && own "$home" || exit 1
cp -R "$1" "$payload" && cp -R "$1" "$work/pristine" || exit 1
ref_new="$payload/zuno-starter"
ref_old="$work/old"
mkdir -p "$ref_old/skills" || exit 1
printf '%s\n' '{"name":"zuno-starter","version":"0.9.0"}' >"$ref_old/manifest.json"
printf 'left over from 0.9.0\n' >"$ref_old/stale.txt"
printf 'a skill retired in 1.0\n' >"$ref_old/skills/retired.md"

version=$(cat "$payload/VERSION")
expected="$work/expected"
printf '%s\n' '{"event":"progress","stage":"validated"}' '{"event":"progress","stage":"registered"}' \
    '{"event":"progress","stage":"checking"}' "{\"event\":\"complete\",\"version\":\"$version\"}" >"$expected"

# The stand-ins, each bound to the real command it replaces.
fi_dir="$work/fi"
bin="$work/bin"
mkdir -p "$bin" "$fi_dir" && own "$fi_dir" || exit 1
stand_in() { # name real-command
    cat >"$bin/$1" <<EOF
#!/bin/sh
read n <"\$FI/count"; n=\$((n + 1)); echo "\$n" >"\$FI/count"
printf '%s\\n' "\$n $1 \$*" >>"\$FI/calls"
if [ "\$n" -eq "\$FI_AT" ]; then
    read pid <"\$FI/pid"
    case \$FI_MODE in
    none) ;;
    kill) kill -9 "\$pid"; exit 1 ;;
    group) kill -9 "-\$pid"; exit 1 ;;
    reader) read r <"\$FI/reader"; kill -9 "\$r" ;;
    term) kill -TERM "\$pid" ;;
    fail) echo "stand-in: $1 fails" >&2; exit 1 ;;
    esac
fi
exec "$2" "\$@"
EOF
    chmod 755 "$bin/$1"
}
# Every command the payload may call, as the Finder's PATH finds it.
for name in cp mv rm rmdir mkdir chmod find sed uname sha256sum shasum ps xattr; do
    if real=$(in_userland command -v "$name"); then
        stand_in "$name" "$real"
    else
        case $name in sha256sum | shasum | ps | xattr) ;; *) echo "no $name" >&2; exit 1 ;; esac
    fi
done
[ -x "$bin/sha256sum" ] || [ -x "$bin/shasum" ] || { echo "no sha256sum or shasum" >&2; exit 1; }
real_tool=$(sh "$source_dir/tools/make-standin-codex.sh" "$work/tool-home") || exit 1
stand_in codex "$real_tool"
tool="$bin/codex"

failures=0
bad() {
    echo "FAIL: $*" >&2
    [ -f "$fi_dir/calls" ] && echo "  calls: $(tr '\n' ';' <"$fi_dir/calls" | cut -c1-400)" >&2
    failures=$((failures + 1))
}
same_tree() { diff -r "$1" "$2" >/dev/null 2>&1; }
beside() {
    for entry in "$base"/* "$base"/.[!.]*; do
        { [ -e "$entry" ] || [ -L "$entry" ]; } && printf '%s ' "${entry##*/}"
    done
}
# The earlier copy: old, none, or locked (old, its folder and one inside it read-only).
reset() { # old|none|locked
    chmod -R u+w "$base" 2>/dev/null
    rm -rf "$base" && mkdir -p "$base" || exit 1
    [ "$1" = none ] || cp -R "$ref_old" "$dest" || exit 1
    own "$home"
    [ "$1" != locked ] || chmod a-w "$dest/skills" "$dest" || exit 1
}

# Runs the payload with the environment of a Finder launch; extra entries override it.
home_entry="HOME=$home"
launch() { # out-file err-file [NAME=value...]
    out=$1 err=$2
    shift 2
    (cd "$payload" && exec $as_user env -i ${home_entry:+"$home_entry"} USER=tester LOGNAME=tester SHELL=/bin/sh \
        TMPDIR="$work/tmp" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
        XDG_CACHE_HOME="$home/cache" XDG_STATE_HOME="$home/state" ZUNO_CODEX_BIN="$tool" PATH="$userland" "$@" \
        $guard $starter /bin/sh -c 'echo $$ >"$0"; exec /bin/sh ./Install.command --headless' \
        "$fi_dir/pid") >"$out" 2>"$err" </dev/null
}
guard=
command -v timeout >/dev/null 2>&1 && guard="$(command -v timeout) -s KILL 30"
starter=
group=kill
command -v setsid >/dev/null 2>&1 && starter=$(command -v setsid) group=group

clean_run() { # what
    launch "$work/clean.out" "$work/clean.err"
    status=$?
    [ "$status" -eq 0 ] && cmp -s "$work/clean.out" "$expected" || bad "$1: the clean run after it failed ($status)"
    same_tree "$dest" "$ref_new" || bad "$1: the clean run left no clean new copy"
    [ "$(beside)" = "zuno-starter " ] || bad "$1: beside the copy after the clean run: $(beside)"
}

# One run stopped at call $2 in mode $1 (none: not stopped); sets stopped (0: the run never got there).
faulted_run() { # mode n
    rm -rf "$fi_dir" && mkdir "$fi_dir" && echo 0 >"$fi_dir/count" && mkfifo "$fi_dir/out" && own "$fi_dir" || exit 1
    $as_user cat "$fi_dir/out" >"$fi_dir/events" &
    echo $! >"$fi_dir/reader"
    # In a subshell of its own, so that no job notice reports the kill.
    (
        [ "$1" = reader ] && [ $(($2 % 2)) -eq 1 ] && trap '' PIPE
        launch "$fi_dir/out" "$fi_dir/err" FI="$fi_dir" FI_AT="$2" FI_MODE="$1" PATH="$bin:$userland"
    ) 2>/dev/null
    status=$?
    wait
    read calls <"$fi_dir/count"
    stopped=0
    [ "$calls" -ge "$2" ] && stopped=1
    case $1 in kill | group) [ "$stopped" -eq 0 ] || [ "$status" -eq 137 ] || bad "$1 at call $2: not killed ($status)" ;; esac
}

# What a stopped run left: old, new, gap (nothing in place, the earlier copy aside) or bad.
left() { # earlier: old|none|locked
    if [ -e "$dest" ]; then
        if same_tree "$dest" "$ref_new"; then echo new
        elif [ "$1" != none ] && same_tree "$dest" "$ref_old"; then echo old
        else echo bad; fi
    elif [ "$1" = none ]; then echo old
    elif same_tree "$base/.zuno-starter.run/old" "$ref_old"; then echo gap
    else echo bad; fi
}

matrix() { # mode earlier
    n=1
    while :; do
        reset "$2"
        faulted_run "$1" "$n"
        what="$1 at call $n ($2 before)"
        state=$(left "$2")
        [ "$state" = bad ] && bad "$what: the destination holds neither copy"
        case $1 in
        kill | group) ;;
        *)
            [ "$status" -eq 137 ] && bad "$what: did not end within 30 s"
            # It ended by itself: success means the new copy, failure the earlier one.
            if [ "$status" -eq 0 ]; then
                [ "$state" = new ] || bad "$what: success without the new copy"
                [ "$1" = reader ] || cmp -s "$fi_dir/events" "$expected" || bad "$what: success without the four events"
            else
                [ "$state" = old ] || bad "$what: failure ($status) without the earlier copy ($state)"
                [ "$1" = reader ] || tail -n 1 "$fi_dir/events" | grep -q '"event":"error"' ||
                    bad "$what: failure ($status) without an error event"
            fi
            want=
            [ -e "$dest" ] && want="zuno-starter "
            if [ "$1" != fail ]; then
                [ "$(beside)" = "$want" ] || bad "$what: left beside the copy: $(beside)"
            else
                # A failed command may leave something for the next run; the run says what.
                for entry in $(beside); do
                    case $entry in zuno-starter | .zuno-starter.lock) continue ;; esac
                    grep -qF "$base/$entry" "$fi_dir/err" || bad "$what: left $entry without a word"
                done
            fi
            ;;
        esac
        clean_run "$what"
        [ "$stopped" -eq 1 ] || break
        n=$((n + 1))
    done
    echo "$1 ($2 before): stopped at each of $((n - 1)) calls"
}

reset old
clean_run "a first clean run"
snapshot() { (cd "$home" && find . -type f -exec cksum {} + | LC_ALL=C sort); }
snapshot >"$work/snapshot"

# A lock entry of a live process (the payload's user's) with another start time: its id was reused.
$as_user sleep 60 &
holder=$!
reset old
mkdir -p "$base/.zuno-starter.lock/$holder-1" && own "$base" || exit 1
clean_run "a lock entry with a reused process id"
kill "$holder"
wait "$holder" 2>/dev/null

# An earlier version's staging folder with the earlier copy and nothing in place: put back.
reset none
mkdir -p "$base/.zuno-starter.Ab12Cd" && cp -R "$ref_old" "$base/.zuno-starter.Ab12Cd/old" && own "$base"
launch "$work/legacy.out" "$work/legacy.err" ZUNO_CODEX_BIN="$work/no-codex"
grep -q CODEX_MISSING "$work/legacy.out" && same_tree "$dest" "$ref_old" && [ "$(beside)" = "zuno-starter " ] ||
    bad "an earlier version's staging folder: $(beside)"

# A run that holds the lock through a slow check keeps a second one waiting before it validates.
reset old
printf '#!/bin/sh\nsleep 2\necho codex 1.0\n' >"$work/slow-codex" && chmod 755 "$work/slow-codex"
launch "$work/a.out" "$work/a.err" ZUNO_CODEX_BIN="$work/slow-codex" &
tries=50
until grep -q checking "$work/a.out" 2>/dev/null || [ "$tries" -eq 0 ]; do sleep 0.1; tries=$((tries - 1)); done
launch "$work/b.out" "$work/b.err" &
sleep 1
[ -s "$work/b.out" ] && bad "a second run went on while the first held the lock"
wait
cmp -s "$work/a.out" "$expected" && cmp -s "$work/b.out" "$expected" && same_tree "$dest" "$ref_new" &&
    [ "$(beside)" = "zuno-starter " ] || bad "two runs one after the other: $(beside)"

# HOME is needed only where the destination depends on it: on macOS always,
# elsewhere only without an absolute XDG_DATA_HOME. Either way the error says so.
for home_entry in "" HOME=relative; do
    what="HOME ${home_entry:-unset}"
    reset none
    launch "$work/home.out" "$work/home.err"
    if [ -n "$darwin" ]; then
        tail -n 1 "$work/home.out" | grep -q INSTALL_FAILED &&
            grep -q 'HOME is not an absolute path.*Library/Application Support' "$work/home.err" &&
            [ -z "$(beside)" ] || bad "$what: $(cat "$work/home.err")"
    else
        cmp -s "$work/home.out" "$expected" && same_tree "$dest" "$ref_new" || bad "$what: $(cat "$work/home.err")"
        reset none
        launch "$work/home.out" "$work/home.err" XDG_DATA_HOME=
        tail -n 1 "$work/home.out" | grep -q INSTALL_FAILED &&
            grep -q 'HOME is not an absolute path.*XDG_DATA_HOME' "$work/home.err" ||
            bad "$what, XDG_DATA_HOME empty: $(cat "$work/home.err")"
    fi
done
home_entry="HOME=$home"

# Extended attributes (macOS's quarantine mark among them) stay behind: BSD's
# cp copies them unless given -X. GNU's cp has no -X and copies none unless
# asked; after it the copy is cleared with xattr. Elsewhere neither is needed.
files=$(grep -c . "$payload/SHA256SUMS")
copy_check() { # what cp
    stand_in cp "$2"
    reset none
    faulted_run none 1000
    if [ -z "$darwin" ]; then want="--version:0 -X:0 plain:$files xattr:0"
    elif "$2" --version >/dev/null 2>&1; then want="--version:1 -X:0 plain:$files xattr:1"
    else want="--version:1 -X:$files plain:0 xattr:0"; fi
    got=$(awk '$2 == "xattr" { a++ } $2 == "cp" { if ($3 == "-X") x++; else if ($3 == "--version") v++; else p++ }
        END { printf "--version:%d -X:%d plain:%d xattr:%d", v, x, p, a }' "$fi_dir/calls")
    cmp -s "$fi_dir/events" "$expected" && same_tree "$dest" "$ref_new" && [ "$got" = "$want" ] ||
        bad "$1: $got, not $want"
}
copy_check "the payload's cp" "$(in_userland command -v cp)"
if [ -n "$darwin" ] && host_cp=$(command -v cp) && "$host_cp" --version >/dev/null 2>&1; then
    copy_check "GNU's cp first on PATH, as with Homebrew's coreutils" "$host_cp"
    stand_in cp "$(in_userland command -v cp)"
fi
if [ -n "$darwin" ] && [ -z "$macos" ] && command -v xattr >/dev/null 2>&1; then
    # A real Mac: a quarantined package file, as a download leaves it, is installed without the mark.
    readme="$payload/zuno-starter/README.md"
    xattr -w com.apple.quarantine "0081;00000000;Safari;" "$readme" || bad "cannot set a quarantine mark"
    reset none
    launch "$work/q.out" "$work/q.err"
    cmp -s "$work/q.out" "$expected" && ! xattr -p com.apple.quarantine "$dest/README.md" >/dev/null 2>&1 ||
        bad "the quarantine mark travelled into the installed copy"
    xattr -d com.apple.quarantine "$readme"
fi

# An earlier copy the user made read-only, and one holding what its user cannot
# remove at all: each is replaced, and no later run trips over it.
if [ -n "$ordinary" ]; then
    reset locked
    launch "$work/ro.out" "$work/ro.err"
    cmp -s "$work/ro.out" "$expected" && same_tree "$dest" "$ref_new" && [ "$(beside)" = "zuno-starter " ] ||
        bad "an earlier copy with read-only folders: $(beside) $(cat "$work/ro.err")"
    clean_run "an earlier copy with read-only folders"

    # Someone else's folder inside it (root's), or a locked file (macOS, not root).
    reset old
    held="$dest/skills/held"
    hold=
    if [ -n "$owner" ]; then
        mkdir "$held" && touch "$held/file" && hold=owner
    elif command -v chflags >/dev/null 2>&1; then
        mkdir "$held" && touch "$held/file" && chflags uchg "$held/file" && hold=flag
    fi
    if [ -n "$hold" ]; then
        left="$base/.zuno-starter.leftover-1"
        for attempt in first second; do
            launch "$work/held.out" "$work/held.err"
            cmp -s "$work/held.out" "$expected" && same_tree "$dest" "$ref_new" &&
                [ "$(beside)" = "zuno-starter .zuno-starter.leftover-1 " ] && grep -qF "$left" "$work/held.err" ||
                bad "what cannot be removed, $attempt run: $(beside) $(cat "$work/held.err")"
        done
        if [ "$hold" = owner ]; then own "$home"; else chflags -R nouchg "$base"; fi
        clean_run "what could not be removed, once it can"
    else
        echo "an earlier copy holding what cannot be removed: skipped (neither root nor chflags)"
    fi
else
    echo "read-only earlier copies: skipped, no ordinary user to run the payload as (root without setpriv)"
fi

for mode in kill group reader term fail; do
    [ "$mode" = group ] && [ -z "$starter" ] && { echo "group: skipped, no setsid"; continue; }
    matrix "$mode" old
done
matrix "$group" none
if [ -n "$ordinary" ]; then
    matrix "$group" locked
    matrix fail locked
fi

# Killed again while it finishes or undoes what a killed run left, at every call
# before it starts to validate, for each state that the renames of a run leave.
faulted_run "$group" 1000
states=$(awk '$2 == "mv" || $2 == "codex" { print $1 }' "$fi_dir/calls")
for n in $states; do
    m=1
    while :; do
        reset old
        faulted_run "$group" "$n"
        faulted_run "$group" "$m"
        what="$group at call $n, then at call $m"
        [ "$(left old)" = bad ] && bad "$what: the destination holds neither copy"
        clean_run "$what"
        # Up to the first digest: validating begins.
        sed -n "${m}p" "$fi_dir/calls" | grep -Eq '^[0-9]+ (sha256sum|shasum) ' && break
        m=$((m + 1))
    done
    printf '%s ' "$n:$m"
done
echo "kills during recovery (state:calls)"

# Pairs at once; every other pair starts over what a killed run left.
pairs=0
while [ "$pairs" -lt 20 ]; do
    pairs=$((pairs + 1))
    reset old
    [ $((pairs % 2)) -eq 0 ] && faulted_run "$group" $((pairs + 3))
    for side in a b; do
        launch "$work/$side.out" "$work/$side.err" &
    done
    wait
    for side in a b; do
        if ! cmp -s "$work/$side.out" "$expected" && ! tail -n 1 "$work/$side.out" | grep -q '"event":"error"'; then
            bad "pair $pairs: run $side neither succeeded nor failed cleanly"
        fi
    done
    same_tree "$dest" "$ref_new" || bad "pair $pairs: no clean new copy"
    [ "$(beside)" = "zuno-starter " ] || bad "pair $pairs: left beside the copy: $(beside)"
done
echo "pairs: $pairs"

snapshot | cmp -s - "$work/snapshot" || bad "the home differs from its snapshot after a clean install"
diff -r "$work/pristine" "$payload" >/dev/null || bad "the payload folder changed"

[ "$failures" -eq 0 ] || { echo "$failures failures" >&2; exit 1; }
echo "all stops left a complete copy and recovered"
