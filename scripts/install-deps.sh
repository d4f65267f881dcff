#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages that building and testing Litvorot need, skipping those
# already present. Usage: scripts/install-deps.sh [build|test|all]   (default: build)
set -euo pipefail

what=${1:-build}

build_pkgs=(
    cmake ninja-build g++ ccache pkg-config
    qt6-base-dev libgl-dev libxcb1-dev libxcb-keysyms1-dev
    libcli11-dev libutfcpp-dev libicu-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
)
test_pkgs=(
    xvfb xauth xdotool xclip trayer openbox x11-apps x11-utils x11-xkb-utils
    imagemagick fonts-dejavu-core
    hyperfine icu-devtools python3
)

pkgs=("${build_pkgs[@]}")
case "$what" in
    build) ;;
    test | all) pkgs+=("${test_pkgs[@]}") ;;
    *) echo "usage: $0 [build|test|all]" >&2; exit 2 ;;
esac

missing=()
for p in "${pkgs[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
