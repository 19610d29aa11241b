#!/usr/bin/env bash
# Scores the detection methods on real music: the freely licensed pieces of
# the Debian package hyperrogue-music (CC-BY-SA-3.0), decoded to 44100 Hz
# stereo and joined into one tape side with hiss, hum, crackle and short gaps
# by bench_realmusic, which prints the table for bench/README.md.
# Usage: bench/tracks/realmusic.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
music=/usr/share/hyperrogue/music
if [ ! -d "$music" ]; then
  echo "needs the package hyperrogue-music: apt-get install hyperrogue-music" >&2
  exit 1
fi
out=$root/bench/out/realmusic
mkdir -p "$out"
pieces=()
for f in "$music"/*.ogg; do
  wav=$out/$(basename "${f%.ogg}").wav
  # Some files of the package do not decode; they are left out.
  if [ -f "$wav" ] || ffmpeg -loglevel error -y -i "$f" -ar 44100 -ac 2 -c:a pcm_s16le "$wav" 2>/dev/null; then
    pieces+=("$wav")
  else
    rm -f "$wav"
  fi
done
"$build/bin/bench_realmusic" "$out/tape.wav" "${pieces[@]}"
