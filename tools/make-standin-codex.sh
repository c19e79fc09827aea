#!/bin/sh
# Creates a stand-in Codex desktop app for tests and demos.
#
#   tools/make-standin-codex.sh <home> [--broken | --not-executable]
#
# Writes <home>/Applications/Codex.app/Contents/Resources/codex-cli/bin/codex,
# where the installer looks for the Codex command-line tool, and prints that
# path on standard output. An existing stand-in is overwritten, so a test can
# switch variants in place. The tool:
#   (default)          answers `codex --version` with a version line, exit 0
#   --broken           is executable but every call fails with exit status 3
#                      (the payload reports RUNTIME_UNAVAILABLE)
#   --not-executable   exists without any execute permission (the installer
#                      does not find it; the payload reports CODEX_MISSING)
# Exit status: 0 on success, 2 for bad arguments, 1 when the files cannot be written.
# POSIX sh; works on macOS and Linux.

usage() {
    echo "usage: $0 <home> [--broken | --not-executable]" >&2
    exit 2
}

[ "$#" -ge 1 ] && [ "$#" -le 2 ] || usage
home=$1
variant=${2-}
case $home in '' | -*) usage ;; esac
case $variant in '' | --broken | --not-executable) ;; *) usage ;; esac

bin="$home/Applications/Codex.app/Contents/Resources/codex-cli/bin"
tool="$bin/codex"
mkdir -p "$bin" || exit 1

if [ "$variant" = --broken ]; then
    cat >"$tool" <<'EOF' || exit 1
#!/bin/sh
# Stand-in Codex tool, broken variant: it cannot start its runtime.
echo "codex: runtime not available (stand-in)" >&2
exit 3
EOF
else
    cat >"$tool" <<'EOF' || exit 1
#!/bin/sh
# Stand-in Codex tool: answers --version like the real one would.
case ${1-} in
--version) echo "codex-cli 0.0.0-standin" ;;
*) echo "codex (stand-in): only --version is supported" >&2; exit 2 ;;
esac
EOF
fi

if [ "$variant" = --not-executable ]; then
    chmod 644 "$tool" || exit 1
else
    chmod 755 "$tool" || exit 1
fi
printf '%s\n' "$tool"
