#!/usr/bin/env bash
# Proves that Qt Designer loads the orvelkit plug-in and offers the controls: starts a private
# Xvfb, opens the demo panel's form in Designer with the plug-in on QT_PLUGIN_PATH and the
# "orvelkit" group of the widget box open, checks Designer's plug-in log, and saves a screenshot.
#
#   scripts/designer-check.sh [--build-dir DIR] [--shot FILE.png]
#
# Without --build-dir it configures and builds build/ first. Exit status 0 means: the plug-in
# was loaded, every control of the form was created, and the screenshot was taken.
set -euo pipefail
cd "$(dirname "$0")/.."

build=""
shot=""
while [[ $# -gt 0 ]]; do
    case "$1" in
        --build-dir) build="$2"; shift 2 ;;
        --shot) shot="$2"; shift 2 ;;
        *) echo "usage: $0 [--build-dir DIR] [--shot FILE.png]" >&2; exit 2 ;;
    esac
done
if [[ -z "$build" ]]; then
    scripts/bootstrap.sh
    build=build
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target orveldesigner orvelkit_xgrab
fi
build=$(cd "$build" && pwd)
designer=$(qtpaths6 --query QT_HOST_BINS 2>/dev/null || echo /usr/lib/qt6/bin)/designer
[[ -x "$designer" ]] || designer=/usr/lib/qt6/bin/designer
for need in "$designer" "$build/plugins/designer/liborveldesigner.so" "$build/tools/orvelkit_xgrab"; do
    [[ -e "$need" ]] || { echo "designer-check: missing $need" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "designer-check: Xvfb is not installed" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
designer_pid=""
cleanup() {
    [[ -n "$designer_pid" ]] && kill "$designer_pid" 2>/dev/null || true
    [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A private X server on a free display number (Xvfb writes the number it took to the pipe).
exec 3> >(cat > "$work/display")
Xvfb -displayfd 3 -screen 0 2200x1100x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do [[ -s "$work/display" ]] && break; sleep 0.1; done
[[ -s "$work/display" ]] || { echo "designer-check: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(tr -d '\n' < "$work/display")"

# A fresh Designer configuration: Qt's own widget-box groups closed, so "orvelkit" shows.
mkdir -p "$work/config/QtProject"
cat > "$work/config/QtProject/Designer.conf" <<'CONF'
[WidgetBox]
Closed%20categories=Layouts, Spacers, Buttons, Item Views (Model-Based), Item Widgets (Item-Based), Containers, Input Widgets, Display Widgets
CONF

XDG_CONFIG_HOME="$work/config" QT_PLUGIN_PATH="$build/plugins" QT_DEBUG_PLUGINS=1 \
    "$designer" -qwindowgeometry 2200x1100+0+0 examples/synthpanel/synthpanel.ui >"$work/designer.log" 2>&1 &
designer_pid=$!

loaded='liborveldesigner.so" loaded library'
for _ in $(seq 300); do
    grep -q "$loaded" "$work/designer.log" && break
    kill -0 "$designer_pid" 2>/dev/null || break
    sleep 0.1
done
if ! grep -q "$loaded" "$work/designer.log"; then
    echo "designer-check: Designer did not load the plug-in" >&2
    grep -i "orvel\|error\|cannot" "$work/designer.log" >&2 || true
    exit 1
fi
# Let Designer open the form and paint before taking the picture.
sleep 5
kill -0 "$designer_pid" 2>/dev/null || { echo "designer-check: Designer exited" >&2; tail -20 "$work/designer.log" >&2; exit 1; }
if grep -E "unable to create|could not be created|creation of a widget .* failed|promot" "$work/designer.log" >&2; then
    echo "designer-check: Designer could not create a control of the form" >&2
    exit 1
fi
"$build/tools/orvelkit_xgrab" "$work/shot.png"
[[ -s "$work/shot.png" ]] || { echo "designer-check: no screenshot" >&2; exit 1; }
if [[ -n "$shot" ]]; then
    cp "$work/shot.png" "$shot"
    echo "designer-check: screenshot written to $shot"
fi
echo "designer-check: Qt Designer loaded the orvelkit plug-in and created the form's controls"
