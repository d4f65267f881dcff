#!/usr/bin/env bash
# The installed tree and the Debian package, as a user's machine sees them.
#   1. cmake --install into a temporary DESTDIR: every file in place, the launcher valid, the
#      icons of the sizes their folders say, the manual pages render without warnings and name
#      every option of litvorot-convert.
#   2. cpack -G DEB: the package is named and described, its dependencies are computed, and
#      lintian finds no error and no warning in it (manual pages compressed, copyright file in
#      the machine-readable format, changelog).
#   3. The package unpacked with dpkg -x into a throw-away root: litvorot-convert runs, and the
#      tray program runs under Xvfb and its Help window shows the installed page (and, with the
#      page taken away, the notice instead).
# Usage: install_test.sh BUILD_DIR VERSION [SCREENSHOT_DIR]
set -uo pipefail
build=$1
version=$2
shots=${3:-}
here=$(dirname "$0")
source "$here/../desktop/desktop-env.sh"
require_tools cmake cpack dpkg dpkg-deb dpkg-shlibdeps desktop-file-validate man file convert \
    lintian

work=$(mktemp -d "${TMPDIR:-/tmp}/litvorot-install.XXXXXX")
cleanup() {
    desktop_stop
    rm -rf "$work"
}
trap cleanup EXIT

# ---- 1. cmake --install ----
stage="$work/stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install failed"; }
usr="$stage/usr"
for file in bin/litvorot bin/litvorot-convert \
    share/litvorot/help.html share/litvorot/splash.png share/litvorot/table.png \
    share/applications/litvorot.desktop share/icons/hicolor/scalable/apps/litvorot.svg \
    share/man/man1/litvorot.1 share/man/man1/litvorot-convert.1; do
    [ -f "$usr/$file" ] || fail "not installed: $file"
done
for file in bin/litvorot bin/litvorot-convert; do
    [ -x "$usr/$file" ] || fail "not executable: $file"
done
# The help page is not beside the installed program: that place is for portable copies.
[ ! -e "$usr/bin/help.html" ] || fail "help.html installed in bin/"

# Each icon theme size holds a picture of that size.
for size in 16 32 48 64 128 256; do
    icon="$usr/share/icons/hicolor/${size}x${size}/apps/litvorot.png"
    file "$icon" | grep -q "PNG image data, $size x $size," || fail "icon $size: $(file "$icon")"
done

# The launcher is valid, starts the installed program and names the installed icon.
launcher="$usr/share/applications/litvorot.desktop"
desktop-file-validate "$launcher" || fail "desktop-file-validate rejected the launcher"
exec_line=$(sed -n 's/^Exec=//p' "$launcher")
[ -x "$usr/bin/${exec_line%% *}" ] || fail "the launcher starts '$exec_line', which is not in bin/"
icon_name=$(sed -n 's/^Icon=//p' "$launcher")
[ -f "$usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ] || fail "no icon named $icon_name"

# The autostart entry, when the build installs one (-DLITVOROT_INSTALL_AUTOSTART=ON).
autostart=$(find "$stage" -path '*/autostart/litvorot.desktop' | head -n 1)
if [ -n "$autostart" ]; then
    desktop-file-validate "$autostart" || fail "desktop-file-validate rejected $autostart"
fi

# The manual pages render without warnings, with the version filled in.
for page in litvorot litvorot-convert; do
    src="$usr/share/man/man1/$page.1"
    ! grep -q '@' "$src" || fail "$page.1 has an unfilled @VARIABLE@"
    rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -l "$src" 2>"$work/man.err") ||
        fail "man -l $page.1 failed"
    [ ! -s "$work/man.err" ] || { cat "$work/man.err" >&2; fail "man warned about $page.1"; }
    grep -q "Litvorot $version" <<<"$rendered" || fail "$page.1 does not give version $version"
    printf '%s\n' "$rendered" >"$work/$page.txt"
done
# Every option that litvorot-convert accepts is described in its manual page.
options=$("$usr/bin/litvorot-convert" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "litvorot-convert --help lists no options"
for option in $options; do
    grep -q -- "$option" "$work/litvorot-convert.txt" || fail "litvorot-convert.1 lacks $option"
done

# ---- 2. cpack -G DEB ----
arch=$(dpkg --print-architecture)
deb="$work/pack/litvorot_${version}_${arch}.deb"
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pack") \
    >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work/pack")"
[ "$(dpkg-deb -f "$deb" Package)" = litvorot ] || fail "package name $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version)"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
[ -n "$(dpkg-deb -f "$deb" Section)" ] || fail "no section"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends" >&2
# The converter uses ICU's macros only and links none of its libraries, so no libicu here.
for lib in libc6 'libstdc\+\+6' libqt6core6 libqt6gui6 libqt6widgets6 libxcb1 \
    libxcb-keysyms1; do
    grep -Eq "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
dpkg-deb -c "$deb" >"$work/contents.txt" || fail "dpkg-deb -c failed"
for file in usr/bin/litvorot usr/bin/litvorot-convert usr/share/litvorot/help.html \
    usr/share/applications/litvorot.desktop usr/share/man/man1/litvorot.1.gz \
    usr/share/man/man1/litvorot-convert.1.gz usr/share/doc/litvorot/copyright \
    usr/share/doc/litvorot/changelog.gz; do
    grep -q " \./$file\$" "$work/contents.txt" || fail "the package has no $file"
done
! grep -Eq '/man/.*\.[1-9]$' "$work/contents.txt" || fail "the package has uncompressed manual pages"
# The changelog's latest entry is this version's.
dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/doc/litvorot/changelog.gz |
    gzip -dc >"$work/changelog" || fail "cannot read the package's changelog"
[[ $(head -n 1 "$work/changelog") == "litvorot ($version) "* ]] ||
    fail "the changelog does not start with $version: $(head -n 1 "$work/changelog")"
# lintian: no errors, no warnings (its notes on info level are shown, not failed on).
lintian --display-info --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1
status=$?
grep -v '^running with root privileges' "$work/lintian.log" >&2
[ "$status" -eq 0 ] || fail "lintian found errors or warnings in the package"
echo "package size: $(stat -c %s "$deb") bytes" >&2

# ---- 3. The unpacked package runs ----
root="$work/root"
dpkg -x "$deb" "$root" || fail "dpkg -x failed"
# The programs are stripped of their debugging information.
for program in litvorot litvorot-convert; do
    kind=$(file -b "$root/usr/bin/$program")
    [[ $kind == *ELF*", stripped"* ]] || fail "$program in the package: $kind"
done
got=$("$root/usr/bin/litvorot-convert" --version) || fail "litvorot-convert --version failed"
[ "$got" = "litvorot-convert $version" ] || fail "litvorot-convert --version said '$got'"
got=$(printf 'privet, mir' | "$root/usr/bin/litvorot-convert" -f translit -t unicode) ||
    fail "litvorot-convert did not convert"
[ "$got" = "привет, мир" ] || fail "litvorot-convert gave '$got'"

desktop_start || exit 1
trap cleanup EXIT  # desktop_start set its own
start_installed() {
    desktop_spawn env LANG=C.UTF-8 "$root/usr/bin/litvorot" 2>>"$DESKTOP_DIR/app.log"
    APP_PID=$DESKTOP_LAST_PID
    wait_until 20 tray_icon_centre litvorot ||
        { cat "$DESKTOP_DIR/app.log" >&2; fail "the installed program's tray icon did not appear"; }
    sleep 0.3
}
help_window() { xdotool search --onlyvisible --name '^Help on Litvorot$' | head -n 1; }
help_open() { [ -n "$(help_window)" ]; }
help_closed() { [ -z "$(help_window)" ]; }

# Help from the tray menu.
open_help() {
    tray_menu_choose mnuHelp || fail "the tray menu did not open"
    wait_until 10 help_open || fail "Help did not open a window titled 'Help on Litvorot'"
    help_id=$(help_window)
    LC_ALL=C xprop -id "$help_id" _NET_WM_NAME | grep -q '"Help on Litvorot"' ||
        fail "the help window's title: $(xprop -id "$help_id" _NET_WM_NAME)"
    sleep 0.5  # let the page paint
}

# Closes the help window through the window manager's close key, as a user does.
close_help() {
    xdotool windowactivate --sync "$help_id" key --clearmodifiers alt+F4
    wait_until 5 help_closed || fail "the help window did not close"
}

# The share of dark pixels below the help window's first 200 rows: the help page fills the window
# with text, the notice for a missing page is three short lines at the top.
lower_ink() {
    import -window "$1" "$work/help.png" || return 1
    local h
    h=$(identify -format '%h' "$work/help.png")
    convert "$work/help.png" -crop "x$((h - 200))+0+200" +repage -colorspace Gray -threshold 60% \
        -format '%[fx:1-mean]' info:
}

start_installed
open_help
[ -n "$shots" ] && desktop_screenshot "$shots/installed-help.png"
ink=$(lower_ink "$help_id") || fail "no screenshot of the help window"
echo "help page: dark share of the lower part $ink" >&2
awk -v v="$ink" 'BEGIN { exit !(v > 0.01) }' || fail "the help window shows no page (dark share $ink)"
close_help

# Without the installed page the window opens all the same, with the notice.
rm "$root/usr/share/litvorot/help.html"
open_help
[ -n "$shots" ] && desktop_screenshot "$shots/installed-help-missing.png"
ink=$(lower_ink "$help_id") || fail "no screenshot of the help window"
echo "missing page: dark share of the lower part $ink" >&2
awk -v v="$ink" 'BEGIN { exit !(v < 0.002) }' || fail "a page showed although none is installed ($ink)"
close_help

# Exit from the tray menu ends the installed program. It saves the settings in the user's config
# folder, not in bin/, although this bin/ is writable (as /usr/bin is for root).
tray_menu_exit || fail "the tray menu did not open for Exit"
app_wait_exit 10 || fail "Exit did not end the installed program"
[ ! -e "$root/usr/bin/settings.ini" ] || fail "the installed program wrote settings.ini into bin/"
[ -f "$XDG_CONFIG_HOME/litvorot/settings.ini" ] || fail "no settings in \$XDG_CONFIG_HOME/litvorot"
echo "PASS"
