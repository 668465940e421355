#!/usr/bin/env bash
# Checks an installed QuadTherm under PREFIX (a `cmake --install` prefix, or
# usr/ of an unpacked package): the programs, the desktop entry, the icon at
# each size, the manual pages. Runs the installed programs' --help, formats
# the pages with man and validates the desktop entry.
# Usage: packaging/check_installed.sh PREFIX
set -euo pipefail
prefix=${1:?usage: packaging/check_installed.sh PREFIX}
failures=0
ok() { echo "ok: $*"; }
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

for program in quadtherm quadtherm-cli quadtherm-meter-sim; do
    if [ -x "$prefix/bin/$program" ]; then ok "bin/$program"; else fail "bin/$program missing"; fi
done

desktop=$prefix/share/applications/quadtherm.desktop
if [ -f "$desktop" ] && report=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$report" ]; then
    ok "share/applications/quadtherm.desktop passes desktop-file-validate"
else
    fail "share/applications/quadtherm.desktop: ${report:-missing}"
fi

icons=$prefix/share/icons/hicolor
svg=$icons/scalable/apps/quadtherm.svg
if [ -f "$svg" ] && grep -q '<svg' "$svg"; then ok "icon ${svg#"$prefix"/}"; else fail "scalable icon missing"; fi
# A PNG's width and height are the big-endian words at bytes 16 and 20.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'; }
for side in 16 32 48 64 128 256; do
    png=$icons/${side}x$side/apps/quadtherm.png
    if [ ! -f "$png" ]; then
        fail "icon ${side}x$side missing"
    elif [ "$(png_size "$png")" != "${side}x$side" ]; then
        fail "icon ${side}x$side is $(png_size "$png")"
    else
        ok "icon ${png#"$prefix"/}"
    fi
done

if help=$("$prefix/bin/quadtherm-cli" --help) && grep -q '^usage: quadtherm-cli' <<<"$help"; then
    ok "bin/quadtherm-cli --help"
else
    fail "bin/quadtherm-cli --help"
fi
if help=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/quadtherm" --help 2>&1) &&
    grep -q -- '--simulate' <<<"$help"; then
    ok "bin/quadtherm --help"
else
    fail "bin/quadtherm --help: $help"
fi

for program in quadtherm-cli quadtherm-meter-sim; do
    page=$prefix/share/man/man1/$program.1.gz
    warnings=$(mktemp)
    if [ -f "$page" ] && text=$(MANWIDTH=80 MANPAGER=cat man --warnings -l "$page" 2>"$warnings") &&
        grep -q "^NAME" <<<"$text" && grep -Eq "^ *$program +- " <<<"$text" &&
        grep -q -- '--help' <<<"$text" && [ ! -s "$warnings" ]; then
        ok "man -l share/man/man1/$program.1.gz"
    else
        fail "man -l share/man/man1/$program.1.gz: $(cat "$warnings")"
    fi
    rm -f "$warnings"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "installed tree under $prefix: all checks passed"
