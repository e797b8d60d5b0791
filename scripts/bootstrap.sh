#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build, test and run orvelkit.
# Does nothing when everything is present. Uses apt-get as root, sudo otherwise.
#   scripts/bootstrap.sh          the packages to build, test and run
#   scripts/bootstrap.sh --fuzz   also clang and its sanitizer and libFuzzer runtimes (fuzz/)
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools libgl1-mesa-dev
    xvfb xauth
)
for arg in "$@"; do
    case "$arg" in
        --fuzz) packages+=(clang libclang-rt-14-dev) ;;
        *) echo "bootstrap: unknown option $arg (known: --fuzz)" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

echo "bootstrap: installing ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
    run=()
elif command -v sudo >/dev/null 2>&1; then
    run=(sudo)
else
    echo "bootstrap: need root or sudo to install: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${run[@]}" apt-get update -q
"${run[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
