#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed copy:
# sonivault-cli (demo-side, detect, split) and the program on the offscreen
# platform up to its first page, with nothing but the prefix to go on.
# usage: install_prefix.sh BUILD_DIR
. "$(dirname "$0")/common.sh"
BUILD=$1
PREFIX="$WORK/prefix with space"

cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" || { cat "$WORK/install.log"; fail "cmake --install"; }

# The layout the program relies on.
for f in bin/sonivault bin/sonivault-cli libexec/sonivault/wm8eutil libexec/sonivault/cdburner \
         share/sonivault/profiles.xml share/sonivault/compress.gif share/sonivault/demo-side.wav \
         share/sonivault/sonivault.chm share/applications/com.velmora.Sonivault.desktop \
         share/metainfo/com.velmora.Sonivault.metainfo.xml \
         share/icons/hicolor/scalable/apps/com.velmora.Sonivault.svg \
         share/icons/hicolor/48x48/apps/com.velmora.Sonivault.png \
         share/man/man1/sonivault.1.gz share/man/man1/sonivault-cli.1.gz; do
  [ -s "$PREFIX/$f" ] || fail "$f is not installed"
done
# bin/ holds the two programs a user starts, nothing else.
[ "$(ls "$PREFIX/bin" | tr '\n' ' ')" = "sonivault sonivault-cli " ] || fail "bin/ holds: $(ls "$PREFIX/bin")"
# Helpers must run from where they are installed.
for h in wm8eutil cdburner; do
  rc=0; "$PREFIX/libexec/sonivault/$h" >"$WORK/$h.log" 2>&1 </dev/null || rc=$?
  [ $rc -lt 126 ] || { cat "$WORK/$h.log"; fail "$h does not start ($rc)"; }
done

# The installed copy runs without the build folder: a home of its own, and
# the build's bin/ out of reach.
export HOME="$WORK/home" XDG_DATA_HOME="$WORK/data" XDG_CONFIG_HOME="$WORK/config" \
       XDG_CACHE_HOME="$WORK/cache" XDG_RUNTIME_DIR="$WORK/runtime" TMPDIR="$WORK/tmp"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR" "$TMPDIR"
chmod 700 "$XDG_RUNTIME_DIR"
CLI="$PREFIX/bin/sonivault-cli"

"$CLI" demo-side "$WORK/side.wav" || fail "demo-side"
"$CLI" detect "$WORK/side.wav" >"$WORK/detect.json" || fail "detect"
tracks=$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["tracks"]))' "$WORK/detect.json")
[ "$tracks" = 4 ] || fail "detect found $tracks tracks in the demo side, not 4: $(cat "$WORK/detect.json")"
"$CLI" split "$WORK/side.wav" "$WORK/tracks" >"$WORK/split.txt" || fail "split"
[ "$(wc -l <"$WORK/split.txt")" = 4 ] || fail "split made: $(cat "$WORK/split.txt")"
while IFS= read -r f; do [ -s "$f" ] || fail "split listed $f but it is missing"; done <"$WORK/split.txt"

# The program on the demo deck, past the first-run dialog.
"$CLI" xml set virtual Backend 'Advanced\Audio' '' || fail "xml set Backend"
"$CLI" xml set 1 IsFirstRun 'Messages\Startup' '' || fail "xml set IsFirstRun"
QT_QPA_PLATFORM=offscreen "$PREFIX/bin/sonivault" >"$WORK/program.log" 2>&1 &
pid=$!
user_profiles="$XDG_DATA_HOME/Velmora/Sonivault/profiles.xml"
for _ in $(seq 1 200); do
  [ -s "$user_profiles" ] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
sleep 1
alive=yes; kill -0 $pid 2>/dev/null || alive=no
kill $pid 2>/dev/null || true
wait $pid 2>/dev/null || true
[ $alive = yes ] || { cat "$WORK/program.log"; fail "the installed program ended at start"; }
# Loading the first page copies the shipped profiles from share/sonivault.
[ -s "$user_profiles" ] || { cat "$WORK/program.log"; fail "the installed program did not find share/sonivault/profiles.xml"; }
cmp -s "$user_profiles" "$PREFIX/share/sonivault/profiles.xml" || fail "the user's profiles are not the shipped ones"
echo "installed copy in $PREFIX: ok"
