#!/usr/bin/env bash
# Builds orvelkit with its tests and runs them all (offscreen; no display needed).
#   scripts/test.sh              build in build/ and run the tests
#   scripts/test.sh --sanitize   build in build-asan/ with AddressSanitizer and
#                                UndefinedBehaviorSanitizer (leak detection on) and run the tests
set -euo pipefail
cd "$(dirname "$0")/.."

"$(pwd)/scripts/bootstrap.sh"

build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [[ "${1:-}" == "--sanitize" ]]; then
    build=build-asan
    options=(-DCMAKE_BUILD_TYPE=Debug -DORVELKIT_SANITIZE=ON)
    export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0:detect_stack_use_after_return=0"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0"
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$build" -G Ninja "${options[@]}"
cmake --build "$build" -j "$jobs"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "$jobs"
