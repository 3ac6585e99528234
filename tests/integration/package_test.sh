#!/usr/bin/env bash
# Installs a built tree into a throw-away prefix and checks what a user of the installed
# program gets: exactly the expected files (never the stand-in libgpib.so.0), a desktop entry
# and AppStream data that validate, icons of the sizes their folders claim, man pages that
# render cleanly and cover what they must, a launcher that runs the panel in its own
# settings folder and passes its exit status on, and three Debian packages as users install
# them: ombrastel (the panel) with the Qt runtime it needs, ombrastel-ctl with Qt Core,
# SerialPort and Network only, and decade-sim without Qt, none of the two with a graphical
# or X library, each with its own files.
#
# Usage: package_test.sh BUILD_DIR
# Checks whose tools are missing (desktop-file-validate, appstreamcli, xvfb-run with xdotool,
# dpkg-deb) are reported as skipped.
set -uo pipefail

build=${1:?usage: package_test.sh BUILD_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
skip() { echo "SKIP: $*"; }
have() { command -v "$1" >/dev/null 2>&1; }

id=org.ombrastel.Ombrastel
packages="ombrastel ombrastel-ctl decade-sim"
# The files of one package, or of all three (the staged install) without an argument.
expected_files() {
    local package=${1:-}
    if [ -z "$package" ] || [ "$package" = ombrastel ]; then
        printf '%s\n' \
            usr/bin/ombrastel \
            usr/bin/ombrastel-launch \
            "usr/share/applications/$id.desktop" \
            usr/share/doc/ombrastel/README.md \
            usr/share/doc/ombrastel/copyright \
            "usr/share/icons/hicolor/scalable/apps/$id.svg" \
            usr/share/man/man1/ombrastel-launch.1.gz \
            usr/share/man/man1/ombrastel.1.gz \
            "usr/share/metainfo/$id.metainfo.xml"
        for size in 16 32 48 64 128 256; do
            echo "usr/share/icons/hicolor/${size}x${size}/apps/$id.png"
        done
    fi
    if [ -z "$package" ] || [ "$package" = ombrastel-ctl ]; then
        printf '%s\n' \
            usr/bin/ombrastel-ctl \
            usr/share/bash-completion/completions/ombrastel-ctl \
            usr/share/doc/ombrastel-ctl/copyright \
            usr/share/man/man1/ombrastel-ctl.1.gz
    fi
    if [ -z "$package" ] || [ "$package" = decade-sim ]; then
        printf '%s\n' \
            usr/bin/decade-sim \
            usr/share/doc/decade-sim/copyright \
            usr/share/man/man1/decade-sim.1.gz
    fi
}
file_list() { (cd "$1" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort); }

# --- The staged install -------------------------------------------------------------------
stage=$work/stage
if ! cmake --install "$build" --prefix "$stage/usr" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install failed" >&2
    exit 1
fi
usr=$stage/usr
if ! diff -u <(expected_files | LC_ALL=C sort) <(file_list "$stage") >"$work/files.diff"; then
    cat "$work/files.diff" >&2
    fail "the installed files differ from the expected list (- missing, + unexpected)"
fi
if find "$stage" -name 'libgpib*' | grep -q .; then
    fail "the stand-in libgpib is installed"
fi
for program in ombrastel ombrastel-ctl decade-sim ombrastel-launch; do
    [ -x "$usr/bin/$program" ] || fail "bin/$program is not executable"
done

# --- Desktop entry, AppStream data, icons -------------------------------------------------
desktop=$usr/share/applications/$id.desktop
if have desktop-file-validate; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $id.desktop"
else
    skip "desktop-file-validate is not installed"
fi
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ "$exec_name" = ombrastel-launch ] || fail "the desktop entry starts '$exec_name'"
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[ "$icon_name" = "$id" ] || fail "the desktop entry's icon is '$icon_name'"

if have appstreamcli; then
    appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" >"$work/as.log" 2>&1 ||
        { cat "$work/as.log" >&2; fail "appstreamcli rejects the metainfo"; }
else
    skip "appstreamcli is not installed"
fi

# A PNG's width and height are the big-endian words at bytes 16 and 20.
png_side() { od -An -tu1 -j"$2" -N4 "$1" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}'; }
for size in 16 32 48 64 128 256; do
    png=$usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    [ -f "$png" ] || continue
    magic=$(od -An -c -j1 -N3 "$png" | tr -d ' ')
    w=$(png_side "$png" 16)
    h=$(png_side "$png" 20)
    if [ "$magic" != PNG ] || [ "$w" != "$size" ] || [ "$h" != "$size" ]; then
        fail "the ${size}x${size} icon is '$magic' ${w}x${h}"
    fi
done

# --- Man pages ----------------------------------------------------------------------------
# From the man folder, as man itself reads them: ombrastel-launch.1 is a .so link.
render() {
    (cd "$usr/share/man" && LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "man1/$1.1.gz") \
        2>"$work/man.err" | col -b
}
if have man && have col; then
    for page in ombrastel ombrastel-ctl decade-sim ombrastel-launch; do
        text=$(render "$page")
        [ -s "$work/man.err" ] && { cat "$work/man.err" >&2; fail "man warns about $page.1"; }
        grep -q "EXIT STATUS" <<<"$text" || fail "$page.1 renders without an EXIT STATUS"
        grep -q "@VERSION@" <<<"$text" && fail "$page.1 still holds @VERSION@"
    done
    text=$(render ombrastel)
    for needle in "Ombrastel.ini" "Language = 3" "Rate = 9600" "/dev/ttyS<N-1>" "dialout" \
        "/dev/serial/by-id" "libgpib.so.0" "libni4882.so" "255" "XDG_CONFIG_HOME"; do
        grep -qF -- "$needle" <<<"$text" || fail "ombrastel.1 does not mention $needle"
    done
    # Every option and command ombrastel-ctl lists has its entry in its page.
    text=$(render ombrastel-ctl)
    for word in $("$usr/bin/ombrastel-ctl" --help | grep -o -- '--[a-z][a-z-]*' | sort -u) \
        ports identify state set function unit standard scale r0 threshold output short ground run; do
        grep -qF -- "$word" <<<"$text" || fail "ombrastel-ctl.1 does not describe $word"
    done
    bash -n "$usr/share/bash-completion/completions/ombrastel-ctl" ||
        fail "the bash completion of ombrastel-ctl does not parse"
    # Every option decade-sim itself lists has its entry in the page.
    text=$(render decade-sim)
    options=$("$usr/bin/decade-sim" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
    [ -n "$options" ] || fail "decade-sim --help lists no options"
    for option in $options; do
        grep -qF -- "$option" <<<"$text" || fail "decade-sim.1 does not describe $option"
    done
else
    skip "man or col is not installed"
fi

# --- The launcher -------------------------------------------------------------------------
launch=$usr/bin/ombrastel-launch
mkdir -p "$work/home" "$work/cwd"
run_launcher() { (cd "$work/cwd" && env -i PATH=/usr/bin:/bin HOME="$work/home" "$@" "$launch"); }

# Without a display the panel cannot start: 255 comes back, the folder exists, and no
# settings file was written into it.
run_launcher XDG_CONFIG_HOME="$work/cfg" 2>"$work/launch.err"
rc=$?
[ "$rc" = 255 ] || fail "without a display the launcher ended with $rc, not 255"
[ -d "$work/cfg/ombrastel" ] || fail "the launcher did not create XDG_CONFIG_HOME/ombrastel"
[ -e "$work/cfg/ombrastel/Ombrastel.ini" ] && fail "a panel that never started wrote settings"
grep -q "cannot start the user interface" "$work/launch.err" ||
    fail "the panel's start-up message did not come through: $(cat "$work/launch.err")"

# A relative XDG_CONFIG_HOME is ignored in favour of ~/.config.
run_launcher XDG_CONFIG_HOME=relative 2>/dev/null
[ -d "$work/home/.config/ombrastel" ] || fail "the launcher did not fall back to ~/.config"
[ -e "$work/cwd/relative" ] && fail "the launcher used a relative XDG_CONFIG_HOME"

# A folder that cannot be made: status 1, and the panel is not started.
touch "$work/not-a-folder"
run_launcher XDG_CONFIG_HOME="$work/not-a-folder" 2>/dev/null
rc=$?
[ "$rc" = 1 ] || fail "with an unusable settings folder the launcher ended with $rc, not 1"

# On a virtual screen: the panel reads and writes Ombrastel.ini in its folder. The file there
# holds other values than the defaults, in another order and with the short language key;
# the panel writes its five lines back in its own order, so the result shows that it read
# and wrote the file in that folder. It is started from another folder, which must stay empty.
if have xvfb-run && have xdotool; then
    folder=$work/screen/ombrastel
    mkdir -p "$folder"
    printf 'Rate = 19200\nCom = 12\nAddress = 7\nLanguage=1\nType = 0\n' >"$folder/Ombrastel.ini"
    export LAUNCH="$launch" SCREEN_CFG="$work/screen" SCREEN_HOME="$work/home"
    # shellcheck disable=SC2016  # the inner shell expands the exported variables
    (cd "$work/cwd" && timeout 60 xvfb-run -a -s "-screen 0 800x400x24" bash -c '
        env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY HOME="$SCREEN_HOME" \
            XDG_CONFIG_HOME="$SCREEN_CFG" "$LAUNCH" &
        app=$!
        win=$(timeout 20 xdotool search --sync --onlyvisible --name "^Ombrastel") || exit 90
        # A key that comes before the panel takes input is lost: press Exit again until
        # the program has ended.
        for _ in $(seq 50); do
            xdotool windowfocus --sync "$win" key alt+e 2>/dev/null   # Konec (Exit), by its letter
            for _ in $(seq 10); do kill -0 "$app" 2>/dev/null || break 2; sleep 0.1; done
        done
        wait "$app"
    ') >"$work/screen.log" 2>&1
    rc=$?
    if [ "$rc" != 0 ]; then
        cat "$work/screen.log" >&2
        fail "the panel under the launcher ended with $rc after Exit"
    fi
    got=$(cat "$folder/Ombrastel.ini" 2>/dev/null)
    want=$'Language = 1\nType = 0\nAddress = 7\nCom = 12\nRate = 19200'
    [ "$got" = "$want" ] || fail "Ombrastel.ini after Exit reads: $got"
    [ -z "$(ls -A "$work/cwd")" ] || fail "the panel wrote into the folder it was started from"
else
    skip "xvfb-run or xdotool is not installed: the panel was not started"
fi

# --- The Debian packages ------------------------------------------------------------------
# What a package may depend on, as a pattern of the names in its Depends: the panel anything
# (it must have the Qt runtime below), ombrastel-ctl Qt Core, SerialPort and Network only,
# decade-sim no Qt at all; neither of these two any graphical or X library.
desktop_libs='^(libqt6gui|libqt6widgets|libqt6charts|libqt6opengl|qt6-qpa-plugins|libx|libxcb|libegl|libgl|libopengl|libfontconfig)'
has_dep() { grep -Eq "(^|, )$2( |,|$)" <<<"$1"; }
if have dpkg-deb && have dpkg-shlibdeps && [ -f "$build/CPackConfig.cmake" ]; then
    if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1; then
        cat "$work/cpack.log" >&2
        fail "cpack failed"
    fi
    [ "$(find "$work/deb" -maxdepth 1 -name '*.deb' | wc -l)" = 3 ] ||
        fail "cpack made other packages than three: $(ls "$work/deb")"
    summaries=""
    for package in $packages; do
        deb=$(find "$work/deb" -maxdepth 1 -name "${package}_*.deb" | head -n 1)
        if [ -z "$deb" ]; then
            fail "cpack made no ${package}_*.deb"
            continue
        fi
        [ "$(dpkg-deb -f "$deb" Package)" = "$package" ] || fail "$deb is not named $package"
        [ "$(dpkg-deb -f "$deb" Section)" = electronics ] || fail "the section of $package"
        description=$(dpkg-deb -f "$deb" Description)
        summary=$(sed -n 1p <<<"$description")
        [ -n "$summary" ] || fail "$package has no summary line"
        [ "$(sed -n 2p <<<"$description")" != " $summary" ] ||
            fail "the description of $package repeats its summary line"
        grep -qxF -- "$summary" <<<"$summaries" && fail "$package has the summary of another: $summary"
        summaries+="$summary"$'\n'
        depends=$(dpkg-deb -f "$deb" Depends)
        deps=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//' | grep .)
        grep -qi gpib <<<"$depends" && fail "a GPIB library is a dependency of $package: $depends"
        has_dep "$depends" 'libc6' || fail "$package: Depends lacks libc6 (no shlibdeps?): $depends"
        case $package in
            ombrastel)
                for dep in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins; do
                    has_dep "$depends" "$dep" || fail "ombrastel: Depends lacks $dep: $depends"
                done
                recommends=$(dpkg-deb -f "$deb" Recommends)
                for dep in ombrastel-ctl decade-sim; do
                    has_dep "$recommends" "$dep" || fail "ombrastel: Recommends lacks $dep: $recommends"
                done ;;
            ombrastel-ctl)
                for dep in libqt6core6 libqt6serialport6; do
                    has_dep "$depends" "$dep" || fail "ombrastel-ctl: Depends lacks $dep: $depends"
                done
                other=$(grep -E '^libqt6' <<<"$deps" | grep -Ev '^libqt6(core|serialport|network)6$')
                [ -z "$other" ] || fail "ombrastel-ctl depends on Qt beyond Core, SerialPort and Network: $other" ;;
            decade-sim)
                grep -Eq '^(libqt|qt6)' <<<"$deps" && fail "decade-sim depends on Qt: $depends" ;;
        esac
        if [ "$package" != ombrastel ]; then
            found=$(grep -Ei "$desktop_libs" <<<"$deps" | tr '\n' ' ')
            [ -z "$found" ] || fail "$package depends on a graphical or X library: $found"
        fi
        echo "$package: Depends: $depends"
        mkdir -p "$work/root-$package"
        dpkg-deb -x "$deb" "$work/root-$package"
        if ! diff -u <(expected_files "$package" | LC_ALL=C sort) <(file_list "$work/root-$package") \
            >"$work/deb.diff"; then
            cat "$work/deb.diff" >&2
            fail "the files of $package differ from the expected list"
        fi
    done
else
    skip "dpkg-deb or dpkg-shlibdeps is not installed, or the tree has no CPack config"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package checks passed"
