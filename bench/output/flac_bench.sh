#!/usr/bin/env bash
# FLAC encoding of a 46-minute side cut into 12 tracks: sonivault-cli encode
# flac at level 5 with two jobs, against flac -5 on the same WAVs one after
# another, in the same run. Prints the best of N runs of each, the speed-up
# and the size of our files against flac's.
# Usage: bench/output/flac_bench.sh [BUILD_DIR] [RUNS]   (defaults: build, 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-3}
cli=$build/bin/sonivault-cli
out=$root/bench/out/flac
mkdir -p "$out"
export HOME=$out/home XDG_DATA_HOME=$out/home/data XDG_RUNTIME_DIR=$out/home/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
command -v flac > /dev/null || { echo "flac is not installed (scripts/deps.sh)"; exit 1; }

# Music-like sound: two slowly swelling tones over pink noise, different per
# channel, so the encoder has real work (a plain tone compresses to nothing).
side=$out/side.wav
if [ ! -f "$side" ]; then
  ffmpeg -loglevel error -y -f lavfi \
    -i "aevalsrc='(0.2+0.1*sin(t/7))*sin(2*PI*440*t)+0.1*sin(2*PI*660*t+sin(t))|(0.2+0.1*sin(t/5))*sin(2*PI*330*t)+0.1*sin(2*PI*550*t)':s=44100:d=2760" \
    -f lavfi -i "anoisesrc=c=pink:a=0.08:r=44100:d=2760" \
    -filter_complex "[1]aformat=channel_layouts=mono,asplit[n1][n2];[n2]adelay=7[n2d];[n1][n2d]join=inputs=2:channel_layout=stereo[n];[0][n]amix=inputs=2:normalize=0" \
    -c:a pcm_s16le "$side"
fi
rec=$out/rec
if [ ! -f "$rec/recording.xml" ]; then
  args=()
  for i in $(seq 0 11); do args+=(--track $((i * 230)) 230); done
  "$cli" split "$side" "$rec" "${args[@]}" > /dev/null
fi
wavs=("$rec"/Track*.wav)

# "wall-seconds cpu-seconds" of a command
timed() {
  /usr/bin/time -f "%e %U %S" -o "$out/time.txt" "$@" > /dev/null
  awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$out/time.txt"
}
ours() {
  rm -rf "$out/ours"; mkdir -p "$out/ours"
  timed "$cli" encode flac "$rec/recording.xml" "$out/ours" --jobs 2 --level 5
}
theirs() {
  rm -rf "$out/flac"; mkdir -p "$out/flac"
  timed bash -c 'for w in "$@"; do b=${w##*/}; flac -5 -s -f -o "$0/${b%.wav}.flac" "$w" || exit 1; done' "$out/flac" "${wavs[@]}"
}
cat "${wavs[@]}" > /dev/null # page cache warm for both
best_ours=999999; best_flac=999999
for r in $(seq 1 "$runs"); do
  read -r a ca < <(ours); read -r b cb < <(theirs)
  echo "run $r: sonivault ${a}s (cpu ${ca}s)  flac -5 ${b}s (cpu ${cb}s)  load $(cut -d' ' -f1 /proc/loadavg)"
  best_ours=$(echo "if ($a < $best_ours) $a else $best_ours" | bc)
  best_flac=$(echo "if ($b < $best_flac) $b else $best_flac" | bc)
done
size_ours=$(du -cb "$out"/ours/*.flac | tail -1 | cut -f1)
size_flac=$(du -cb "$out"/flac/*.flac | tail -1 | cut -f1)
echo "best: sonivault ${best_ours}s, flac -5 ${best_flac}s, speed-up $(echo "scale=2; $best_flac / $best_ours" | bc)x"
echo "size: sonivault $size_ours bytes, flac -5 $size_flac bytes, ratio $(echo "scale=4; $size_ours / $size_flac" | bc)"
