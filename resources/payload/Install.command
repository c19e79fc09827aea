#!/bin/sh
# Installs the zuno-starter package for the Codex desktop app.
#
# The Zuno installer runs it as `/bin/sh <payload>/Install.command --headless`
# with the payload folder as working directory and the Codex command-line tool
# in ZUNO_CODEX_BIN. Standard output carries event lines and nothing else, one
# JSON object per line (docs/payload-protocol.md); diagnostics go to standard
# error, which the installer discards. POSIX sh only: it runs on macOS and Linux.

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

emit() { printf '%s\n' "$1" >&3; }
progress() { emit "{\"event\":\"progress\",\"stage\":\"$1\"}"; }
# fail CODE [message]: reports the failure and ends the run (the EXIT trap rolls back).
fail() {
    [ -n "${2-}" ] && printf 'Install.command: %s\n' "$2" >&2
    emit "{\"event\":\"error\",\"code\":\"$1\"}"
    exit 1
}

# --- the install transaction: staging folder, swap, rollback -----------------
staging=
dest=
placed=
exists() { [ -e "$1" ] || [ -L "$1" ]; }
cleanup() {
    [ -n "$staging" ] || return 0
    # A step after the swap failed: take the new copy out again.
    [ -n "$placed" ] && rm -rf "$dest"
    if exists "$staging/old"; then
        # Put the older copy back; if that is impossible, keep it where it is.
        if exists "$dest" || ! mv "$staging/old" "$dest"; then
            return 0
        fi
    fi
    rm -rf "$staging"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

if [ "$#" -ne 1 ] || [ "$1" != --headless ]; then
    fail INSTALL_FAILED "usage: /bin/sh Install.command --headless (the Zuno installer runs this script)"
fi

here=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd -P) || fail CHECK_FAILED "cannot find the payload folder"
cd "$here" || fail CHECK_FAILED "cannot enter $here"

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
    sha256sum) sha256sum <"$1" ;;
    shasum) shasum -a 256 <"$1" ;;
    openssl) openssl dgst -sha256 -r <"$1" ;;
    esac | awk '{ print $1 }'
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
version=$(printf '%s' "$version" | sed 's/[\\"]/\\&/g')

progress validated

# --- 2. registered: copy into application support, then swap atomically -----
case ${HOME-} in /?*) ;; *) fail INSTALL_FAILED "HOME is not an absolute path" ;; esac
if [ "$(uname -s)" = Darwin ]; then
    base="$HOME/Library/Application Support/Vexa Zuno"
else
    data=${XDG_DATA_HOME-}
    case $data in /?*) ;; *) data="$HOME/.local/share" ;; esac
    base="$data/vexa-zuno"
fi
dest="$base/$PACKAGE"

mkdir -p "$base" || fail INSTALL_FAILED "cannot create $base"
staging=$(mktemp -d "$base/.$PACKAGE.XXXXXX") || fail INSTALL_FAILED "cannot create a staging folder in $base"
for entry in $entries; do
    sum=${entry%%:*}
    path=${entry#*:}
    target="$staging/new/${path#"$PACKAGE"/}"
    mkdir -p "$(dirname "$target")" || fail INSTALL_FAILED "cannot create $(dirname "$target")"
    cp "$path" "$target" || fail INSTALL_FAILED "cannot copy $path"
    # The copy must be what was verified, not whatever the source holds now.
    [ "$(digest "$target")" = "$sum" ] || fail INSTALL_FAILED "the copy of $path differs"
done

# The older copy stays in the staging folder until the run has succeeded.
if exists "$dest"; then
    mv "$dest" "$staging/old" || fail INSTALL_FAILED "cannot move the older copy aside"
fi
exists "$dest" && fail INSTALL_FAILED "$dest reappeared during the install"
mv "$staging/new" "$dest" || fail INSTALL_FAILED "cannot move the new copy into place"
placed=1

progress registered

# --- 3. checking: the Codex tool exists and answers --version ----------------
progress checking

tool=${ZUNO_CODEX_BIN-}
if [ -z "$tool" ] || [ ! -f "$tool" ] || [ ! -x "$tool" ]; then
    fail CODEX_MISSING "no executable Codex tool at '${tool}'"
fi
case $CHECK_SECONDS in '' | *[!0-9]* | ?????* | 0 | 00 | 000 | 0000) CHECK_SECONDS=30 ;; esac

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

# It is there but does not run: the app is installed, its runtime is not usable.
[ "$tool_status" -eq 0 ] || fail RUNTIME_UNAVAILABLE "'$tool --version' failed with status $tool_status"

# --- 4. complete: commit, then report the installer's version ----------------
placed=
rm -rf "$staging"
staging=

emit "{\"event\":\"complete\",\"version\":\"$version\"}"
exit 0
