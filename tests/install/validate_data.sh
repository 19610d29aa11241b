#!/usr/bin/env bash
# The menu entry, AppStream metainfo and manual pages as the distribution's
# own tools check them, and the icon sizes against the SVG they come from.
# usage: validate_data.sh SOURCE_DIR
. "$(dirname "$0")/common.sh"
DATA=$1/data
need_tool desktop-file-validate
need_tool appstreamcli
need_tool man

out=$(desktop-file-validate "$DATA/com.velmora.Sonivault.desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
grep -qx 'Categories=AudioVideo;Audio;Recorder;' "$DATA/com.velmora.Sonivault.desktop" || fail "menu categories"

appstreamcli validate --no-net --explain "$DATA/com.velmora.Sonivault.metainfo.xml" >"$WORK/as.log" 2>&1 \
  || { cat "$WORK/as.log"; fail "appstreamcli validate"; }
# The metainfo's launchable is the desktop file we install.
grep -q '<launchable type="desktop-id">com.velmora.Sonivault.desktop</launchable>' \
  "$DATA/com.velmora.Sonivault.metainfo.xml" || fail "metainfo launchable"

# groff's warnings are real mistakes in a page (unknown macros, bad escapes).
for page in "$DATA"/man/*.1; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null) || fail "man $page"
  [ -z "$warnings" ] || fail "man $page: $warnings"
done

# Every command sonivault-cli's usage lists has its entry in the manual page.
cli_cmds=$(sed -n 's/^ *"  \([a-z][a-z-]*\( [a-z]*\)\?\) .*/\1/p' "$1/src/cli/main.cpp" | sed 's/ [A-Z].*//' )
[ -n "$cli_cmds" ] || fail "no commands found in src/cli/main.cpp's usage"
page=$(LC_ALL=C MANWIDTH=200 man -l "$DATA/man/sonivault-cli.1" 2>/dev/null)
while IFS= read -r cmd; do
  grep -qE "^ +$cmd( |$)" <<<"$page" || fail "sonivault-cli.1 does not describe '$cmd'"
done <<<"$cli_cmds"

# Each PNG is the size its folder names.
for png in "$DATA"/icons/*/com.velmora.Sonivault.png; do
  size=$(basename "$(dirname "$png")")
  dims=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]))' "$png")
  [ "$dims" = "${size}x${size}" ] || fail "$png is $dims"
done
echo "desktop entry, metainfo, manual pages and icons: ok"
