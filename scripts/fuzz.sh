#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# in build-fuzz/ and runs each one for a while from its committed seed corpus.
#   scripts/fuzz.sh                      every target, 30 s each
#   scripts/fuzz.sh --time 300           every target, 300 s each
#   scripts/fuzz.sh --target records     one target (fuzz/fuzz_records.cpp), may be repeated
#   scripts/fuzz.sh --build-only         configure and build, run nothing
# The seed corpus is copied to a scratch folder, so the inputs a run adds never reach the
# repository. Prints per target the executions reached and whether anything was found; exits
# non-zero on any finding (crash, sanitizer report, leak, timeout, out-of-memory). The inputs
# that made a finding are kept in build-fuzz/findings/<target>/ (reproduce with
# build-fuzz/fuzz/fuzz_<target> <file>).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=30
targets=()
build_only=0
while [[ $# -gt 0 ]]; do
    case "$1" in
        --time) seconds="$2"; shift 2 ;;
        --time=*) seconds="${1#--time=}"; shift ;;
        --target) targets+=("$2"); shift 2 ;;
        --target=*) targets+=("${1#--target=}"); shift ;;
        --build-only) build_only=1; shift ;;
        -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "fuzz: unknown option $1" >&2; exit 2 ;;
    esac
done
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [[ "$seconds" -lt 1 ]]; then
    echo "fuzz: --time takes a number of seconds (1 or more)" >&2
    exit 2
fi

"$root/scripts/bootstrap.sh" --fuzz

if [[ ${#targets[@]} -eq 0 ]]; then
    for src in "$root"/fuzz/fuzz_*.cpp; do
        name=$(basename "$src" .cpp)
        targets+=("${name#fuzz_}")
    done
fi
for t in "${targets[@]}"; do
    if [[ ! -f "$root/fuzz/fuzz_$t.cpp" ]]; then
        echo "fuzz: no target $t (fuzz/fuzz_$t.cpp)" >&2
        exit 2
    fi
done

build="$root/build-fuzz"
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
    -DORVELKIT_BUILD_FUZZ=ON -DORVELKIT_BUILD_TESTS=OFF -DORVELKIT_BUILD_EXAMPLES=OFF \
    -DORVELKIT_BUILD_BENCH=OFF -DORVELKIT_BUILD_DESIGNER_PLUGIN=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"
[[ $build_only -eq 1 ]] && exit 0

export QT_QPA_PLATFORM=offscreen
export QT_LOGGING_RULES="qt.qpa.*=false"
# Leaks are checked after every input (libFuzzer's own check: an input that allocates more than
# it frees is re-run under LeakSanitizer). The check at process exit is off: the targets keep
# their application alive to the end, and Qt's global objects are then torn down in no
# particular order after it, which leaves system-library (fontconfig) memory unreferenced.
export ASAN_OPTIONS="detect_leaks=1:leak_check_at_exit=0:abort_on_error=0:detect_stack_use_after_return=0:symbolize=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvelkit-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

found=0
summary=()
for t in "${targets[@]}"; do
    binary="$build/fuzz/fuzz_$t"
    seeds="$root/fuzz/corpus/$t"
    work="$scratch/$t"
    mkdir -p "$work/corpus" "$work/artifacts"
    [[ -d "$seeds" ]] && find "$seeds" -maxdepth 1 -type f ! -name '*.dict' -exec cp {} "$work/corpus/" \;
    options=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$work/artifacts/")
    [[ -f "$seeds/$t.dict" ]] && options+=(-dict="$seeds/$t.dict")
    echo "fuzz: $t for ${seconds} s"
    status=0
    "$binary" "${options[@]}" "$work/corpus" >"$work/log" 2>&1 || status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n1)
    artifacts=$(find "$work/artifacts" -type f | wc -l)
    if [[ $status -ne 0 || $artifacts -gt 0 ]]; then
        found=1
        mkdir -p "$build/findings/$t"
        cp "$work/log" "$build/findings/$t/log"
        find "$work/artifacts" -type f -exec cp {} "$build/findings/$t/" \;
        grep -E "ERROR: |runtime error|broken promise|qFatal|SUMMARY" "$work/log" | head -n 20 || true
        summary+=("$(printf '%-14s %12s executions  FINDING (exit %s; log and inputs in build-fuzz/findings/%s/)' \
            "$t" "${executions:-?}" "$status" "$t")")
    else
        summary+=("$(printf '%-14s %12s executions  nothing found' "$t" "${executions:-?}")")
    fi
done

echo
echo "fuzz: ${seconds} s per target"
printf '%s\n' "${summary[@]}"
if [[ $found -ne 0 ]]; then
    echo "fuzz: FINDINGS (see above)"
    exit 1
fi
echo "fuzz: no finding"
