#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages that building and testing Litvorot need, skipping those
# already present. Usage: scripts/install-deps.sh [build|test|all]   (default: build)
set -euo pipefail

what=${1:-build}

build_pkgs=(
    cmake ninja-build g++ ccache pkg-config
    qt6-base-dev qt6-wayland libgl-dev libxcb1-dev libxcb-keysyms1-dev libxcb-xfixes0-dev libxcb-xtest0-dev
    libcli11-dev libutfcpp-dev libicu-dev libwayland-dev libwayland-bin libxkbcommon-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
)
test_pkgs=(
    xvfb xauth xdotool xclip trayer openbox x11-apps x11-utils x11-xkb-utils
    imagemagick fonts-dejavu-core
    hyperfine icu-devtools python3
    clang
    dpkg-dev desktop-file-utils man-db groff-base file lintian
    sway xwayland wl-clipboard wtype dbus dbus-bin foot xdg-desktop-portal
    mousepad featherpad lxterminal nano
)

# The letter model of the automatic source is generated from these word lists (detect/make-model.py,
# checked by a test; Tesseract's Russian one is read with tesseract-ocr's tools), the code page
# tables from the C library's character maps in locales (convert/make-code-pages.py, checked by a
# test); the evaluation (tests/eval/evaluate.py) reads the prose of the installation guide and of
# the Debian history and compares with chardet; its check on texts outside the corpora
# (tests/eval/outside.py) reads the fortunes.
# Building does not need them: the generated files are in the repository.
model_pkgs=(
    hunspell-ru hunspell-uk wamerican tesseract-ocr tesseract-ocr-rus python3-chardet locales
    installation-guide-amd64 debian-history fortunes-ru fortunes-min
)

# The Windows program: cross compiler, resource compiler and Wine to run its tests.
mingw_pkgs=(
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 imagemagick
)

pkgs=("${build_pkgs[@]}")
case "$what" in
    build) ;;
    test | all) pkgs+=("${test_pkgs[@]}" "${model_pkgs[@]}" "${mingw_pkgs[@]}") ;;
    *) echo "usage: $0 [build|test|all]" >&2; exit 2 ;;
esac

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

install_missing() {
    local missing=() p
    for p in "$@"; do installed "$p" || missing+=("$p"); done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q
    "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
}

install_missing "${pkgs[@]}"

# The sanitizer and fuzzer runtimes of whichever clang the distribution has.
if [ "$what" != build ] && command -v clang >/dev/null; then
    install_missing "libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev"
fi
