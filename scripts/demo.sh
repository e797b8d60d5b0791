#!/usr/bin/env bash
# Builds orvelkit and runs the demo synth editor (examples/synthpanel). Without a display (no
# DISPLAY or WAYLAND_DISPLAY) it runs offscreen and writes a screenshot to build/demo.png instead
# of opening a window. Arguments go to the demo (e.g. --automate, --set filter.cutoff=40).
set -euo pipefail
cd "$(dirname "$0")/.."

"$(pwd)/scripts/bootstrap.sh"

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs" --target orvelkit_synthpanel

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    QT_QPA_PLATFORM=offscreen build/examples/synthpanel/orvelkit_synthpanel --screenshot build/demo.png "$@"
    echo "demo: no display; screenshot written to build/demo.png"
else
    build/examples/synthpanel/orvelkit_synthpanel "$@"
fi
