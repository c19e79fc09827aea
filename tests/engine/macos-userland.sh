#!/bin/sh
# Builds a stand-in for the command-line userland a payload meets on macOS 12
# when the Finder starts the installer (PATH=/usr/bin:/bin:/usr/sbin:/sbin),
# out of this machine's GNU tools:
#
#   macos-userland.sh <dir>     prints the PATH to use
#
# <dir>/usr/bin, /bin, /usr/sbin and /sbin hold only commands macOS 12 has
# there: no sha256sum (shasum instead), no timeout, no setsid. uname answers
# Darwin; cp, mv, rm, mkdir, rmdir, chmod, find, sed, mktemp and sleep refuse
# what their BSD versions do not take (GNU's long options, GNU-only letters,
# options after an operand) as BSD's do; stat refuses everything, since BSD's
# -f means another thing than GNU's; xattr finds no attributes. Everything
# else is this machine's own command.
set -u
[ "$#" -eq 1 ] || { echo "usage: $0 <dir>" >&2; exit 2; }
root=$1
mkdir -p "$root/usr/bin" "$root/bin" "$root/usr/sbin" "$root/sbin" || exit 1

# The same command, under the folder macOS keeps it in.
same() { # folder name...
    folder=$1
    shift
    for name; do
        real=$(command -v "$name") || { echo "macos-userland: no $name here" >&2; exit 1; }
        ln -sf "$real" "$root/$folder/$name" || exit 1
    done
}
same bin cat date echo kill ln ls ps pwd sh test
same usr/bin awk basename cmp cut diff dirname env expr false grep head id mkfifo od printf sort tail tee touch \
    tr true wc xargs
same usr/sbin chown

# A BSD command's option parsing in front of the GNU one. Option clusters may
# hold only the given letters ($4: those that take an argument); long options
# are refused as BSD's getopt refuses them; options end at the first operand
# (GNU's would go on reading them after it); letters in $5 are dropped before
# the GNU command sees them.
bsd() { # folder name real letters [takes [drop]]
    bad='?*'
    [ -n "$4" ] && bad="*[!$4]*"
    takes=
    [ -n "${5-}" ] && takes="case \${a#-} in *[$5]) skip=1 ;; esac"
    drop=
    [ -n "${6-}" ] && drop="case \$a in -*[$6]*) a=\$(printf %s \"\$a\" | tr -d '$6'); [ \"\$a\" = - ] && { i=\$((i + 1)); continue; } ;; esac"
    cat >"$root/$1/$2" <<EOF
#!/bin/sh
# Stand-in for macOS's $2 (BSD options only), on top of $3.
refuse() { echo "$2: illegal option -- \${1#-}" >&2; echo "usage: $2 (BSD options only: -$4)" >&2; exit 64; }
opts=0 skip= ended=
for a; do
    if [ -n "\$skip" ]; then skip=; opts=\$((opts + 1)); continue; fi
    case \$a in
    --) ended=1; opts=\$((opts + 1)); break ;;
    --*) refuse "\$a" ;;
    -?*)
        case \${a#-} in $bad) refuse "\$a" ;; esac
        $takes
        opts=\$((opts + 1))
        ;;
    *) break ;;
    esac
done
i=0
for a; do
    shift
    if [ "\$i" -lt "\$opts" ]; then
        $drop
        :
    elif [ "\$i" -eq "\$opts" ] && [ -z "\$ended" ]; then
        set -- "\$@" --
    fi
    i=\$((i + 1))
    set -- "\$@" "\$a"
done
exec "$3" "\$@"
EOF
    chmod 755 "$root/$1/$2" || exit 1
}
gnu() { command -v "$1" || { echo "macos-userland: no $1 here" >&2; exit 1; }; }
bsd bin mv "$(gnu mv)" fhinv
bsd bin rm "$(gnu rm)" fidIPRrvWx
bsd bin mkdir "$(gnu mkdir)" pvm m
bsd bin rmdir "$(gnu rmdir)" pv
# Modes such as -w are operands to BSD chmod, as they are to GNU's; -c and long options are not.
bsd bin chmod "$(gnu chmod)" 'fhvRHLPEugoarwxXst0-7=+,'
# -X (leave extended attributes behind) has nothing to do on this machine's files.
bsd bin cp "$(gnu cp)" RHLPfinapvXcSsxr '' X
# BSD sed's -i takes a suffix (GNU's form would eat the script): refused here.
bsd usr/bin sed "$(gnu sed)" Ealnruef ef
bsd usr/bin mktemp "$(gnu mktemp)" dqtu t

# sleep: seconds, fractions allowed; none of GNU's suffixes or sums.
real=$(gnu sleep) || exit 1
cat >"$root/bin/sleep" <<EOF
#!/bin/sh
case \$# in 1) ;; *) echo "usage: sleep seconds" >&2; exit 64 ;; esac
case \$1 in '' | *[!0-9.]*) echo "usage: sleep seconds" >&2; exit 64 ;; esac
exec "$real" "\$1"
EOF
# stat: BSD's -f takes a format where GNU's means the file system; not translated.
cat >"$root/usr/bin/stat" <<'EOF'
#!/bin/sh
echo "stat (stand-in): BSD stat is not emulated: $*" >&2
exit 1
EOF
chmod 755 "$root/bin/sleep" "$root/usr/bin/stat" || exit 1

# find: a path must come first, and GNU's own primaries are refused.
real=$(command -v find) || exit 1
cat >"$root/usr/bin/find" <<EOF
#!/bin/sh
# Stand-in for macOS's find (BSD), on top of $real.
case \${1-} in -E | -H | -L | -P | -X | -d | -s | -x | '') ;; -*) echo "find: illegal option -- \${1#-}" >&2; exit 64 ;; esac
previous=
for a; do
    case \$a in
    -printf | -fprint* | -regextype | -readable | -writable | -executable | -xtype | -wholename | -iwholename | \\
    -ignore_readdir_race | -noignore_readdir_race | -files0-from | --*)
        echo "find: \$a: unknown primary or operator" >&2
        exit 1
        ;;
    /*) [ "\$previous" = -perm ] && { echo "find: -perm: \$a: illegal mode string" >&2; exit 1; } ;;
    esac
    previous=\$a
done
exec "$real" "\$@"
EOF
chmod 755 "$root/usr/bin/find" || exit 1

cat >"$root/usr/bin/uname" <<'EOF'
#!/bin/sh
# Stand-in for uname on macOS 12 (Intel).
[ "$#" -eq 0 ] && set -- -s
out=
for a; do
    case $a in
    -s) out="$out Darwin" ;;
    -r) out="$out 21.6.0" ;;
    -m) out="$out x86_64" ;;
    -p) out="$out i386" ;;
    -n) out="$out zuno-mac" ;;
    -a) out=" Darwin zuno-mac 21.6.0 Darwin Kernel Version 21.6.0 x86_64" ;;
    *) echo "uname: illegal option -- ${a#-}" >&2; exit 64 ;;
    esac
done
echo "${out# }"
EOF
chmod 755 "$root/usr/bin/uname" || exit 1

# shasum (Perl on macOS): SHA-1 unless -a says otherwise; output as sha*sum's.
sha1=$(command -v sha1sum) && sha256=$(command -v sha256sum) || exit 1
cat >"$root/usr/bin/shasum" <<EOF
#!/bin/sh
# Stand-in for macOS's shasum (-a 1 or 256 only).
tool=$sha1
case \${1-} in
-a) case \${2-} in 1) ;; 256) tool=$sha256 ;; *) echo "shasum: -a \${2-}: not emulated" >&2; exit 1 ;; esac; shift 2 ;;
-a256) tool=$sha256; shift ;;
-*) echo "shasum: \$1: not emulated" >&2; exit 1 ;;
esac
exec "\$tool" "\$@"
EOF
chmod 755 "$root/usr/bin/shasum" || exit 1

# xattr: files here carry no Apple attributes; clearing and listing find nothing.
cat >"$root/usr/bin/xattr" <<'EOF'
#!/bin/sh
# Stand-in for macOS's xattr: no file has extended attributes.
while [ "$#" -gt 0 ]; do
    case $1 in
    -c | -cr | -rc) ;;
    -d | -p) echo "xattr: $1 ${2-}: No such xattr" >&2; exit 1 ;;
    -r | -s | -v | -l | -x) ;;
    -*) echo "xattr: illegal option $1" >&2; exit 64 ;;
    *) break ;;
    esac
    shift
done
[ "$#" -gt 0 ] || { echo "usage: xattr [-lrsvx] file [file ...]" >&2; exit 64; }
for f; do [ -e "$f" ] || [ -L "$f" ] || { echo "xattr: No such file: $f" >&2; exit 1; }; done
exit 0
EOF
chmod 755 "$root/usr/bin/xattr" || exit 1

printf '%s\n' "$root/usr/bin:$root/bin:$root/usr/sbin:$root/sbin"
