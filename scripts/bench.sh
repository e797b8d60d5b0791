#!/usr/bin/env bash
# Builds the benchmarks in a Release tree and writes their tables into docs/performance.md.
#   scripts/bench.sh                 build in build-bench/, run every bench_* program with
#                                    --markdown and paste each output between its markers
#   scripts/bench.sh --only NAME     only bench_NAME (NAME with or without the bench_ prefix)
#   scripts/bench.sh --smoke         tiny runs that only check the set-up; their figures mean
#                                    nothing, so the document is left alone unless --doc is given
#   scripts/bench.sh --doc FILE      write into FILE instead of docs/performance.md
#   scripts/bench.sh --no-build      run what build-bench/ holds, without configuring or building
#
# The output of bench_NAME replaces whatever stands between the lines
#   <!-- begin bench_NAME -->  and  <!-- end bench_NAME -->
# and a line describing the machine replaces what stands between <!-- begin machine --> and
# <!-- end machine -->. Markers it does not find are reported and nothing else is changed. A
# benchmark whose checks fail (non-zero exit) is reported and its table is not written.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
    sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'
}

only=""
smoke=0
doc=""
build_it=1
while [[ $# -gt 0 ]]; do
    case "$1" in
        --only)
            [[ $# -ge 2 ]] || { echo "bench.sh: --only needs a name" >&2; exit 2; }
            only="bench_${2#bench_}"
            shift 2 ;;
        --smoke)
            smoke=1
            shift ;;
        --no-build)
            build_it=0
            shift ;;
        --doc)
            [[ $# -ge 2 ]] || { echo "bench.sh: --doc needs a file" >&2; exit 2; }
            doc="$2"
            shift 2 ;;
        -h|--help)
            usage
            exit 0 ;;
        *)
            echo "bench.sh: unknown argument '$1'" >&2
            usage >&2
            exit 2 ;;
    esac
done
write=1
if [[ -z "$doc" ]]; then
    doc=docs/performance.md
    [[ $smoke -eq 1 ]] && write=0
fi
if [[ $write -eq 1 && ! -f "$doc" ]]; then
    echo "bench.sh: $doc not found" >&2
    exit 1
fi

build=build-bench
if [[ $build_it -eq 1 ]]; then
    "$(pwd)/scripts/bootstrap.sh"
    jobs=$(nproc 2>/dev/null || echo 2)
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DORVELKIT_BUILD_TESTS=OFF -DORVELKIT_BUILD_EXAMPLES=OFF -DORVELKIT_BUILD_BENCH=ON >/dev/null
    cmake --build "$build" -j "$jobs"
fi

# The benchmarks in the order of docs/performance.md, then any other bench_* program built.
known=(bench_knob bench_fader bench_buttons bench_storm bench_paint bench_panel bench_memory)
names=("${known[@]}")
for exe in "$build"/bench/bench_*; do
    [[ -f "$exe" && -x "$exe" ]] || continue
    name=$(basename "$exe")
    [[ " ${names[*]} " == *" $name "* ]] || names+=("$name")
done
if [[ -n "$only" ]]; then
    names=("$only")
fi

# Replaces the lines between "<!-- begin KEY -->" and "<!-- end KEY -->" in $doc with the
# contents of FILE. Returns 1 (file untouched) when either marker is missing.
replace_between() {
    local key="$1" file="$2"
    local begin="<!-- begin $key -->" end="<!-- end $key -->"
    if ! grep -qxF "$begin" "$doc" || ! grep -qxF "$end" "$doc"; then
        echo "bench.sh: markers for $key not found in $doc; left unchanged" >&2
        return 1
    fi
    local out
    out=$(mktemp)
    awk -v begin="$begin" -v end="$end" -v file="$file" '
        $0 == begin { print; while ((getline line < file) > 0) print line; close(file); skip = 1; next }
        $0 == end { skip = 0 }
        !skip { print }
    ' "$doc" >"$out"
    cat "$out" >"$doc"
    rm -f "$out"
}

machine_line() {
    local cpu count os qt compiler buildtype
    cpu=$(grep -m1 '^model name' /proc/cpuinfo 2>/dev/null | sed 's/^[^:]*: *//')
    count=$(grep -c '^processor' /proc/cpuinfo 2>/dev/null || echo "?")
    os=$( (. /etc/os-release 2>/dev/null && echo "$PRETTY_NAME") || uname -sr)
    qt=$(grep -m1 '^Qt6Core_DIR' "$build/CMakeCache.txt" 2>/dev/null | sed 's/.*=//')
    qt=$(sed -n 's/.*PACKAGE_VERSION "\([0-9.]*\)".*/\1/p' "$qt/Qt6CoreConfigVersion.cmake" 2>/dev/null | head -1)
    [[ -n "$qt" ]] || qt=$(qtpaths6 --qt-version 2>/dev/null || echo "unknown")
    compiler=$(grep -m1 '^CMAKE_CXX_COMPILER:' "$build/CMakeCache.txt" 2>/dev/null | sed 's/.*=//')
    compiler=$("$compiler" --version 2>/dev/null | head -1)
    buildtype=$(grep -m1 '^CMAKE_BUILD_TYPE:' "$build/CMakeCache.txt" 2>/dev/null | sed 's/.*=//')
    echo "Machine: ${cpu:-unknown CPU}, ${count} logical CPUs; ${os}; Qt ${qt}; ${compiler}; ${buildtype:-unknown} build;" \
        "offscreen platform; load average at start $(cut -d' ' -f1-3 /proc/loadavg); $(date -u '+%Y-%m-%d %H:%M UTC')."
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
ran=0
if [[ $write -eq 1 ]]; then
    machine_line >"$tmp/machine"
    replace_between machine "$tmp/machine" || status=1
fi
for name in "${names[@]}"; do
    exe="$build/bench/$name"
    if [[ ! -x "$exe" ]]; then
        echo "bench.sh: $name is not built here; skipped"
        [[ -n "$only" ]] && status=1
        continue
    fi
    args=(--markdown)
    [[ $smoke -eq 1 ]] && args+=(--smoke)
    echo "bench.sh: running $name ${args[*]}"
    if ! "$exe" "${args[@]}" >"$tmp/$name.md"; then
        echo "bench.sh: $name failed its checks; its table is not written" >&2
        cat "$tmp/$name.md"
        status=1
        continue
    fi
    ran=$((ran + 1))
    cat "$tmp/$name.md"
    if [[ $write -eq 1 ]]; then
        replace_between "$name" "$tmp/$name.md" || status=1
    fi
done
if [[ $write -eq 1 ]]; then
    echo "bench.sh: $ran benchmark(s) written into $doc"
else
    echo "bench.sh: $ran benchmark(s) run; $doc not changed"
fi
exit $status
