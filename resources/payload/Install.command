#!/bin/sh
# Installs the zuno-starter package for the Codex desktop app.
#
# The Zuno installer runs it as `/bin/sh <payload>/Install.command --headless`
# with the payload folder as working directory and the Codex command-line tool
# in ZUNO_CODEX_BIN. Standard output carries event lines and nothing else, one
# JSON object per line (docs/payload-protocol.md); diagnostics go to standard
# error, which the installer discards. POSIX sh only: it runs on macOS and Linux.
#
# Whatever stops a run (a failure, a signal, SIGKILL, the installer gone), the
# destination ends up holding the complete earlier copy or the complete new
# one: every change beside it is a rename recorded by the names below, and the
# next run finishes or undoes what it finds before it does anything else.

# Events go to fd 3; everything any tool prints goes to standard error.
exec 3>&1 1>&2

# Byte-wise pattern matching and tool output, whatever the user's locale.
LC_ALL=C
export LC_ALL
set -f

PACKAGE=zuno-starter
MANIFEST=SHA256SUMS
# How long the Codex tool may take to answer --version before it counts as broken.
CHECK_SECONDS=${ZUNO_CODEX_CHECK_SECONDS:-30}
case $CHECK_SECONDS in '' | *[!0-9]* | ?????*) CHECK_SECONDS=30 ;; esac
CHECK_SECONDS=${CHECK_SECONDS#"${CHECK_SECONDS%%[!0]*}"}
[ -n "$CHECK_SECONDS" ] || CHECK_SECONDS=30

# A failed write means the reader is gone: nobody will learn how this run ends,
# so it is undone (by the EXIT trap) rather than carried on blind.
emit() {
    printf '%s\n' "$1" >&3 2>/dev/null && return 0
    exit 141
}
progress() { emit "{\"event\":\"progress\",\"stage\":\"$1\"}"; }
say() { printf 'Install.command: %s\n' "$1" >&2; }
# fail CODE [message]: reports the failure and ends the run (the EXIT trap rolls back).
fail() {
    [ -n "${2-}" ] && say "$2"
    emit "{\"event\":\"error\",\"code\":\"$1\"}"
    exit 1
}
exists() { [ -e "$1" ] || [ -L "$1" ]; }

locked=
me=
tool_pid=
watchdog=
interrupted() {
    trap '' HUP INT PIPE TERM
    [ "$1" -eq 141 ] || printf '%s\n' '{"event":"error","code":"INSTALL_FAILED"}' >&3 2>/dev/null
    exit "$1"
}
finish() {
    status=$?
    trap '' HUP INT PIPE TERM
    [ -n "$tool_pid" ] && kill -9 "$tool_pid" "$watchdog" 2>/dev/null
    if [ -n "$locked" ] && ! recover; then
        for left in "$run" "$trash"; do
            exists "$left" && say "left $left for the next run to finish"
        done
    fi
    # Also when stopped while asking for the lock: the entry may already be there.
    [ -n "$me" ] && unlock
    exit "$status"
}
trap finish EXIT
trap 'interrupted 129' HUP
trap 'interrupted 130' INT
trap 'interrupted 141' PIPE
trap 'interrupted 143' TERM

# --- runs exclude each other -------------------------------------------------
# The lock folder holds one entry per run that asks for it, named by process id
# and start time, so that a later process with a reused id has another name. A
# run holds the lock while no other live run has an entry; whoever finds the
# entry of a dead run removes it. Each step is one atomic mkdir or rmdir, so a
# run killed anywhere leaves at most its own entry (or an empty folder) behind.

# The start time of process $1 (Z for a zombie), empty when it cannot be learned.
# Only called as $(started PID): it changes IFS and the positional parameters.
started() {
    if [ -r "/proc/$1/stat" ]; then
        stat=
        { IFS= read -r stat; } <"/proc/$1/stat" 2>/dev/null
        stat=${stat##*) } # after "(command name)", which may hold anything
        set -- $stat
        [ "$#" -ge 20 ] || return 0
        if [ "$1" = Z ]; then printf Z; else printf '%s' "${20}"; fi
    else
        set -- $(ps -o lstart= -p "$1" 2>/dev/null)
        IFS=.
        printf '%s' "$*"
    fi
}
alive() {
    pid=${1%%-*}
    case $pid in '' | *[!0-9]*) return 1 ;; esac
    kill -0 "$pid" 2>/dev/null || return 1
    now=$(started "$pid")
    [ -z "${1#*-}" ] || [ -z "$now" ] || [ "$now" = "${1#*-}" ]
}
# 0: held; 1: another live run has it; 2: the lock cannot be made; 3: try again now.
claim() {
    [ -d "$lock" ] || mkdir "$lock" 2>/dev/null || [ -d "$lock" ] || return 2
    if ! mkdir "$lock/$me" 2>/dev/null; then
        [ -d "$lock" ] && return 2
        return 3
    fi
    set +f
    set -- "$lock"/*
    set -f
    rival=
    for entry; do
        [ "$entry" = "$lock/$me" ] && continue
        if alive "${entry##*/}"; then rival=1; else rmdir "$entry" 2>/dev/null; fi
    done
    if [ -z "$rival" ]; then
        locked=1
        return 0
    fi
    rmdir "$lock/$me"
    return 1
}
nap() {
    if sleep 0.2 2>/dev/null; then waited=$((waited + 1)); else sleep 1; waited=$((waited + 5)); fi
}
# Waits (in fifths of a second) longer than another run's Codex check may take.
take_lock() {
    me=$$-$(started $$)
    waited=0
    while :; do
        claim
        case $? in 0) return 0 ;; 2) return 2 ;; 3) continue ;; esac
        [ "$waited" -lt $(((CHECK_SECONDS + 15) * 5)) ] || return 1
        nap
    done
}
unlock() {
    rmdir "$lock/$me" 2>/dev/null
    rmdir "$lock" 2>/dev/null # stays while another run is asking
    locked= me=
}

# --- finishing or undoing a run ----------------------------------------------
# Beside the destination, under the lock:
#   .zuno-starter.trash/  garbage: removed first, and the only thing removed whole
#   .zuno-starter.run/    the one run under way, holding
#       building/  the copy being made (the destination is untouched)
#       new/       the complete, verified copy, not yet in place
#       old/       the earlier copy, moved out of the destination
#       dead/      the new copy, taken out of the destination again
#     with neither building/ nor new/ (nor dead/), the new copy is in place.
#   .zuno-starter.leftover-N/  garbage that could not be removed (see clear_trash)
# Moving the run folder to the trash is the commit. Undoing puts old/ back.

# Moves a copy of the package. A folder that changes parent has its ".." rewritten,
# which needs write permission on the folder itself; the user may have taken it away.
move() {
    [ -d "$1" ] && [ ! -L "$1" ] && [ ! -w "$1" ] && chmod u+w "$1"
    mv "$1" "$2"
}
# Removes $1 whole. Folders inside it that lack permissions we need (a read-only
# folder in a copy the user edited) get them back where they are ours.
remove() {
    rm -rf "$1" 2>/dev/null && return 0
    find "$1" -type d ! -perm -700 -exec chmod u+rwx {} \; 2>/dev/null
    rm -rf "$1"
}
# The garbage is never what decides a run: what cannot be removed (someone
# else's folder, a locked file) is set aside under a name of its own, which no
# later step uses, and which later runs try to remove again.
clear_trash() {
    exists "$trash" || return 0
    remove "$trash" && return 0
    n=1
    while exists "$base/.$PACKAGE.leftover-$n"; do n=$((n + 1)); done
    mv "$trash" "$base/.$PACKAGE.leftover-$n" || return 1
    say "cannot remove all of an older copy; it is left in $base/.$PACKAGE.leftover-$n"
}
clear_leftovers() {
    set +f
    set -- "$base/.$PACKAGE".leftover-*
    set -f
    for left; do
        exists "$left" || continue
        remove "$left" 2>/dev/null || say "still cannot remove $left"
    done
}
recover() {
    clear_trash || return 1
    # Earlier versions of this script staged in .zuno-starter.XXXXXX (new/, old/).
    set +f
    set -- "$base/.$PACKAGE".??????
    set -f
    for legacy; do
        [ -d "$legacy" ] || continue
        if exists "$legacy/old" && ! exists "$dest"; then
            move "$legacy/old" "$dest" || return 1
        fi
        mv "$legacy" "$trash" && clear_trash || return 1
    done
    exists "$run" || return 0
    if ! exists "$run/building" && ! exists "$run/new" && ! exists "$run/dead" && exists "$dest"; then
        move "$dest" "$run/dead" || return 1
    fi
    if exists "$run/old"; then
        exists "$dest" && return 1
        move "$run/old" "$dest" || return 1
    fi
    mv "$run" "$trash" && clear_trash
}
lock_and_recover() {
    take_lock
    case $? in
    0) ;;
    1) fail INSTALL_FAILED "another install of $PACKAGE is still running" ;;
    *) fail INSTALL_FAILED "cannot create $lock" ;;
    esac
    recover || fail INSTALL_FAILED "cannot finish the install that was interrupted in $base"
    clear_leftovers
}

if [ "$#" -ne 1 ] || [ "$1" != --headless ]; then
    fail INSTALL_FAILED "usage: /bin/sh Install.command --headless (the Zuno installer runs this script)"
fi

case $0 in */*) dir=${0%/*} ;; *) dir=. ;; esac
here=$(CDPATH='' cd -- "${dir:-/}" && pwd -P) || fail CHECK_FAILED "cannot find the payload folder"
cd "$here" || fail CHECK_FAILED "cannot enter $here"

# Where the package goes: on macOS in Application Support, elsewhere in the XDG
# data folder. Only where that depends on HOME does HOME have to be usable.
platform=$(uname -s) || fail INSTALL_FAILED "cannot tell which system this is: uname failed"
base=
if [ "$platform" = Darwin ]; then
    case ${HOME-} in /?*) base="$HOME/Library/Application Support/Vexa Zuno" ;; esac
    nowhere="HOME is not an absolute path, and the package goes in ~/Library/Application Support/Vexa Zuno"
else
    data=${XDG_DATA_HOME-}
    case $data in /?*) ;; *) case ${HOME-} in /?*) data="$HOME/.local/share" ;; *) data= ;; esac ;; esac
    [ -n "$data" ] && base="$data/vexa-zuno"
    nowhere="HOME is not an absolute path, and without an absolute XDG_DATA_HOME the package goes in ~/.local/share/vexa-zuno"
fi
dest="$base/$PACKAGE"
run="$base/.$PACKAGE.run"
trash="$base/.$PACKAGE.trash"
lock="$base/.$PACKAGE.lock"

# Whatever an interrupted run left is settled first, even if this payload turns out damaged.
[ -n "$base" ] && [ -d "$base" ] && lock_and_recover

# --- 1. validated: every listed file matches its SHA-256 --------------------
if command -v sha256sum >/dev/null 2>&1; then
    hasher=sha256sum
elif command -v shasum >/dev/null 2>&1; then
    hasher=shasum
elif command -v openssl >/dev/null 2>&1; then
    hasher=openssl
else
    fail CHECK_FAILED "no SHA-256 tool (sha256sum, shasum or openssl)"
fi
digest() {
    case $hasher in
    sha256sum) set -- $(sha256sum <"$1") ;;
    shasum) set -- $(shasum -a 256 <"$1") ;;
    openssl) set -- $(openssl dgst -sha256 -r <"$1") ;;
    esac
    printf '%s' "${1-}"
}

[ -f "$MANIFEST" ] || fail CHECK_FAILED "$MANIFEST is missing"
entries=
while IFS= read -r line || [ -n "$line" ]; do
    case $line in '' | '#'*) continue ;; esac
    sum=${line%% *}
    rest=${line#"$sum"}
    case $rest in
    '  '*) path=${rest#  } ;;
    ' *'*) path=${rest# \*} ;;
    *) fail CHECK_FAILED "$MANIFEST: unreadable line" ;;
    esac
    case $sum in *[!0-9a-f]*) fail CHECK_FAILED "$MANIFEST: bad digest for $path" ;; esac
    [ "${#sum}" -eq 64 ] || fail CHECK_FAILED "$MANIFEST: bad digest for $path"
    # Only plain relative paths inside the package: nothing to escape, nothing outside it.
    case $path in "$PACKAGE"/?*) ;; *) fail CHECK_FAILED "$MANIFEST: $path is outside $PACKAGE" ;; esac
    case $path in
    *[!A-Za-z0-9._/-]* | *//* | */ | */./* | */../* | */. | */..)
        fail CHECK_FAILED "$MANIFEST: unsafe path $path"
        ;;
    esac
    [ -f "$path" ] || fail CHECK_FAILED "$path is missing"
    [ "$(digest "$path")" = "$sum" ] || fail CHECK_FAILED "$path does not match $MANIFEST"
    entries="$entries $sum:$path"
done <"$MANIFEST"
[ -n "$entries" ] || fail CHECK_FAILED "$MANIFEST lists no files"

# The version reported on completion, written by the build. Printable ASCII only,
# so that escaping " and \ is all it takes to make it a JSON string.
[ -f VERSION ] || fail CHECK_FAILED "VERSION is missing"
version=
IFS= read -r version <VERSION || [ -n "$version" ] || fail CHECK_FAILED "VERSION is empty"
case $version in '' | *[![:print:]]*) fail CHECK_FAILED "VERSION holds unprintable characters" ;; esac
[ "${#version}" -le 256 ] || fail CHECK_FAILED "VERSION is too long"
version=$(printf '%s' "$version" | sed 's/[\\"]/\\&/g') || fail CHECK_FAILED "cannot escape VERSION"

progress validated

# --- 2. registered: build the copy beside the destination, then swap ---------
[ -n "$base" ] || fail INSTALL_FAILED "$nowhere"
mkdir -p "$base" || fail INSTALL_FAILED "cannot create $base"
[ -n "$locked" ] || lock_and_recover

# macOS's cp (BSD's) copies extended attributes, so the quarantine mark of a
# downloaded installer would travel into the package; -X leaves them behind.
# Another cp there (GNU's, first on a Terminal's PATH) has no -X: its copies
# are cleared with xattr instead.
copy_flags=
clear_attributes=
if [ "$platform" = Darwin ]; then
    if cp --version >/dev/null 2>&1; then
        command -v xattr >/dev/null 2>&1 && clear_attributes=1
    else
        copy_flags=-X
    fi
fi

mkdir -p "$trash/building" && mv "$trash" "$run" || fail INSTALL_FAILED "cannot create $run"
for entry in $entries; do
    sum=${entry%%:*}
    path=${entry#*:}
    target="$run/building/${path#"$PACKAGE"/}"
    mkdir -p "${target%/*}" || fail INSTALL_FAILED "cannot create ${target%/*}"
    cp $copy_flags "$path" "$target" || fail INSTALL_FAILED "cannot copy $path"
    # The copy must be what was verified, not whatever the source holds now.
    [ "$(digest "$target")" = "$sum" ] || fail INSTALL_FAILED "the copy of $path differs"
done
if [ -n "$clear_attributes" ]; then
    xattr -c -r "$run/building" || say "cannot clear the extended attributes of the copy"
fi
mv "$run/building" "$run/new" || fail INSTALL_FAILED "cannot complete the copy"

# Two renames: POSIX has no atomic exchange of folders. Killed between them, the
# destination is missing until the next run puts old/ back.
if exists "$dest"; then
    move "$dest" "$run/old" || fail INSTALL_FAILED "cannot move the older copy aside"
fi
exists "$dest" && fail INSTALL_FAILED "$dest reappeared during the install"
move "$run/new" "$dest" || fail INSTALL_FAILED "cannot move the new copy into place"

progress registered

# --- 3. checking: the Codex tool exists and answers --version ----------------
progress checking

tool=${ZUNO_CODEX_BIN-}
if [ -z "$tool" ] || [ ! -f "$tool" ] || [ ! -x "$tool" ]; then
    fail CODEX_MISSING "no executable Codex tool at '${tool}'"
fi

# Neither the tool nor the watchdog may hold the event pipe: a leftover child
# would keep the installer waiting for the end of the output.
"$tool" --version </dev/null >/dev/null 2>&1 3>&- &
tool_pid=$!
(
    # One-second steps: stopped early, it leaves at most a one-second sleep behind.
    elapsed=0
    while [ "$elapsed" -lt "$CHECK_SECONDS" ]; do
        sleep 1
        elapsed=$((elapsed + 1))
    done
    kill -9 "$tool_pid" 2>/dev/null
) </dev/null >/dev/null 2>&1 3>&- &
watchdog=$!
wait "$tool_pid"
tool_status=$?
# KILL, not TERM: a subshell that has just been forked can lose a catchable signal
# before it drops the traps it inherited, and would then run its whole course.
kill -9 "$watchdog" 2>/dev/null
wait "$watchdog" 2>/dev/null
tool_pid=
watchdog=

# It is there but does not run: the app is installed, its runtime is not usable.
[ "$tool_status" -eq 0 ] || fail RUNTIME_UNAVAILABLE "'$tool --version' failed with status $tool_status"

# --- 4. complete: report, then commit -----------------------------------------
# From here a signal cannot come between the report and the commit. A report
# that cannot be written undoes the run; a commit that fails reports an error.
trap '' HUP INT PIPE TERM
emit "{\"event\":\"complete\",\"version\":\"$version\"}"
mv "$run" "$trash" || fail INSTALL_FAILED "cannot commit the install"
exit 0
