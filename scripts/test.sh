#!/usr/bin/env bash
# Builds and runs every test: the lint of the CI workflow, the debug build
# (with the packaged tarball's test on Linux, and on Linux its Qt sources
# compiled against newer Qt headers), the sample payload's run through
# every scenario of zuno-payload-check, the AddressSanitizer +
# UndefinedBehaviorSanitizer build, the ThreadSanitizer run of the threaded
# tests, and short fuzz runs of the event-line decoders, the line cutter and
# the transcript, the string table parser and the Info.plist reader.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

werror=OFF
[[ -n "${CI:-}" ]] && werror=ON
jobs=$(getconf _NPROCESSORS_ONLN 2>/dev/null || echo 2)
export CTEST_PARALLEL_LEVEL=$jobs
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1 suppressions=$PWD/tests/tsan.supp"

step() { printf '\n== %s\n' "$*"; }

# Homebrew's Qt and LLVM (Apple's clang has no libFuzzer) on macOS.
extra=()
fuzz_compiler=()
if [[ "$(uname -s)" == Darwin ]]; then
    extra=(-DCMAKE_PREFIX_PATH="$(brew --prefix qtbase);$(brew --prefix nlohmann-json);$(brew --prefix simdjson);$(brew --prefix googletest)")
    # Homebrew's bottles are built for the macOS they run on, and its newest
    # Qt needs a newer macOS than ours: the test builds target this Mac. The
    # release alone is built and checked for the oldest macOS we promise.
    extra+=(-DCMAKE_OSX_DEPLOYMENT_TARGET="$(sw_vers -productVersion | cut -d. -f1).0")
    fuzz_compiler=(-DCMAKE_CXX_COMPILER="$(brew --prefix llvm)/bin/clang++")
    # Apple's clang has no LeakSanitizer: asked for it, ASan stops the program at start.
    export ASAN_OPTIONS=detect_leaks=0
fi

# Every build's and test run's output, kept by CI.
logs=build/logs
rm -rf "$logs" && mkdir -p "$logs"

step "CI workflow lint"
yamllint --strict -c .github/yamllint.yml .github/workflows

step "debug build and tests"
cmake --preset dev -DZUNO_WERROR=$werror ${extra[@]+"${extra[@]}"} >/dev/null
cmake --build --preset dev -j "$jobs" 2>&1 | tee "$logs/dev-build.log"
ctest --preset dev --output-log "$logs/dev-tests.log"

# Every file that uses Qt, compiled but not linked against the headers of the
# macOS release's Qt line (6.8, Debian trixie's) and of the newest (Debian
# testing's, as Homebrew's), with -Werror: what a newer Qt removes or warns
# about shows here before a Mac builds it. Deprecations go to the list below.
if [[ "$(uname -s)" == Linux ]]; then
    step "the Qt layers against newer Qt headers"
    scripts/newer_qt_check.py --build-dir build/dev 2>&1 | tee "$logs/newer-qt-build.log"
fi

# The sample payload as the bundle carries it, through every scenario (about
# half a minute: its codex-hangs scenario costs the payload's own 30 s tool
# limit). On its own, so that no build's load stretches its time limits.
# Its JUnit report is kept with the logs and checked against the format's schema.
step "the sample payload through zuno-payload-check --scenarios"
build/dev/payload-check/zuno-payload-check build/dev/ZunoInstaller.app/Contents/Resources/payload --scenarios \
    --junit "$logs/payload-check-junit.xml"
xmllint --noout --schema tests/payload-check/junit.xsd "$logs/payload-check-junit.xml"

step "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --preset asan -DZUNO_WERROR=$werror ${extra[@]+"${extra[@]}"} >/dev/null
cmake --build --preset asan -j "$jobs" 2>&1 | tee "$logs/asan-build.log"
ctest --preset asan --output-log "$logs/asan-tests.log"

step "ThreadSanitizer (tests labelled tsan)"
cmake --preset tsan -DZUNO_WERROR=$werror ${extra[@]+"${extra[@]}"} >/dev/null
cmake --build --preset tsan -j "$jobs" 2>&1 | tee "$logs/tsan-build.log"
ctest --preset tsan --output-log "$logs/tsan-tests.log"

step "fuzzing the decoders, the line cutter and the transcript (short run)"
cmake --preset fuzz -DZUNO_WERROR=$werror ${extra[@]+"${extra[@]}"} ${fuzz_compiler[@]+"${fuzz_compiler[@]}"} >/dev/null
cmake --build --preset fuzz -j "$jobs" --target zuno_fuzz_transcript 2>&1 | tee "$logs/fuzz-build.log"
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp engine/fuzz/corpus/* "$corpus"/
build/fuzz/engine/zuno_fuzz_transcript -max_total_time="${ZUNO_FUZZ_SECONDS:-20}" -max_len=8192 \
    -dict=engine/fuzz/json.dict -print_final_stats=1 "$corpus"

step "fuzzing the string table parser and the Info.plist reader (short runs)"
cmake --build --preset fuzz -j "$jobs" --target zuno_fuzz_string_table zuno_fuzz_info_plist 2>&1 | tee -a "$logs/fuzz-build.log"
for fuzzer in copy/string_table platform/info_plist; do
    seeds=build/fuzz/corpus-${fuzzer#*/}
    rm -rf "$seeds" && mkdir -p "$seeds" && cp "${fuzzer%/*}"/fuzz/corpus/* "$seeds"/
    "build/fuzz/${fuzzer%/*}/zuno_fuzz_${fuzzer#*/}" -max_total_time="${ZUNO_FUZZ_SECONDS:-15}" -max_len=8192 -artifact_prefix=build/fuzz/ \
        -print_final_stats=1 "$seeds"
done

# Deprecations are warnings, not errors, even with CI's -Werror: a newer Qt or
# SDK must not break the build, but each one is listed here (and shown on a
# GitHub Actions run) to be mended.
deprecations=$(grep -h -- '\[-Wdeprecated-declarations\]' "$logs"/*-build.log | sed "s|^$PWD/||" | sort -u || true)
if [[ -n $deprecations ]]; then
    step "deprecation warnings ($(wc -l <<<"$deprecations"))"
    printf '%s\n' "$deprecations"
    if [[ -n ${GITHUB_ACTIONS:-} ]]; then
        sed -E 's/^([^:]+):([0-9]+):[0-9]+: warning: (.*)$/::warning file=\1,line=\2::\3/' <<<"$deprecations"
    fi
fi

step "all tests passed"
