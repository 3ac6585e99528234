#!/usr/bin/env bash
# What each program needs of a desktop, as the dynamic loader sees it: ombrastel-ctl,
# decade-sim and a test of the layers below the panel run on a rig without a display, so
# ldd lists no Qt Gui or Widgets library, no X11 or xcb, no EGL or GL and no fontconfig for
# them; the panel links Qt Widgets (which shows that the check can find one).
#
# Usage: headless_test.sh CTL SIM PANEL HEADLESS_TEST
set -uo pipefail

[ $# -eq 4 ] || { echo "usage: headless_test.sh CTL SIM PANEL HEADLESS_TEST" >&2; exit 2; }
desktop='^(libQt6Gui|libQt6Widgets|libQt6OpenGL|libX|libxcb|libEGL|libGL|libOpenGL|libfontconfig)'
failures=0

# The libraries a program loads, one soname a line; fails when ldd cannot read it.
needed() {
    local out
    out=$(ldd "$1") || { echo "FAIL: ldd cannot read $1" >&2; return 1; }
    grep -q 'not found' <<<"$out" && { echo "FAIL: $1 lacks a library: $out" >&2; return 1; }
    awk '{print $1}' <<<"$out" | sed 's|.*/||'
}

# program, then what it must show: "headless" or "widgets"
check() {
    local libs found
    libs=$(needed "$1") || { failures=$((failures + 1)); return; }
    found=$(grep -E "$desktop" <<<"$libs" | tr '\n' ' ')
    case $2 in
        headless)
            if [ -n "$found" ]; then
                echo "FAIL: $(basename "$1") loads $found" >&2
                failures=$((failures + 1))
            fi ;;
        widgets)
            if ! grep -q '^libQt6Widgets' <<<"$libs"; then
                echo "FAIL: $(basename "$1") does not load libQt6Widgets: this check would see none" >&2
                failures=$((failures + 1))
            fi ;;
    esac
    echo "$(basename "$1"), to be $2: ($(grep -c . <<<"$libs") libraries${found:+; desktop: $found})"
}

check "$1" headless
check "$2" headless
check "$4" headless
check "$3" widgets

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "headless checks passed"
