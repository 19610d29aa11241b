#!/usr/bin/env bash
# MP3 encoding of a 46-minute side cut into tracks: lame alone on the track
# files, the encode job one track after another (as the MP3 page runs it) and
# sonivault-cli with two encoders, all in the same run.
# Usage: bench/output/mp3_bench.sh [BUILD_DIR] [ROUNDS]   (defaults: build, 1)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
rounds=${2:-1}
bin=$build/bin
out=$root/bench/out/mp3
mkdir -p "$out"
export HOME=$out/home XDG_DATA_HOME=$out/home/data XDG_RUNTIME_DIR=$out/home/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
for tool in "$bin/sonivault-cli" lame ffprobe sox; do
  command -v "$tool" > /dev/null || { echo "missing: $tool" >&2; exit 1; }
done

# The side and its tracks (bench_side.sh).
. "$root/bench/output/bench_side.sh"
bench_side "$out" "$bin"
index=$tracks/recording.xml
[ -f "$index" ] || { echo "no index in $tracks" >&2; exit 1; }
mapfile -t wavs < <(find "$tracks" -maxdepth 1 -name 'Track *.wav' | sort -V)
n=${#wavs[@]}
# Stored options: the defaults plus tags, as a user would have them.
"$bin/sonivault-cli" xml set 1 ID3 'Encoding\MP3' ""
for i in $(seq "$n"); do
  "$bin/sonivault-cli" xml set "Song $i" Name "Track$i" "$index"
  "$bin/sonivault-cli" xml set "Bench Band" Artist "Track$i" "$index"
done

lame_alone() { # the same arguments the job gives, one track after another
  local dest=$1 i=0 w
  for w in "${wavs[@]}"; do
    i=$((i + 1))
    LC_ALL=C.UTF-8 lame --brief -b 128 -q 2 --id3v2-utf16 --tt "Song $i" --ta "Bench Band" --tl "New Album" \
      --ty 2026 --tc "" --tn "$i" --tg 12 "$w" "$dest/Song $i.mp3" > /dev/null 2>&1
  done
}
page_order() { "$bin/sonivault-cli" encode mp3 "$index" "$1" --jobs 1 > /dev/null; }
two_jobs() { "$bin/sonivault-cli" encode mp3 "$index" "$1" --jobs 2 > /dev/null; }
timed() { # "wall user+sys" seconds of a whole pass (children included)
  local fn=$1 dest=$2 TIMEFORMAT="%R %U %S"
  rm -rf "$dest"
  mkdir -p "$dest"
  { time "$fn" "$dest"; } 2> "$out/time.txt"
  awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$out/time.txt"
}
better() { [ -z "$2" ] || awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

cat "${wavs[@]}" > /dev/null
lw="" lc="" pw="" pc="" jw="" jc=""
for r in $(seq "$rounds"); do # alternating rounds; the best of each counts
  read -r w c < <(timed lame_alone "$out/lame")
  echo "round $r: lame alone  $w s (cpu $c s)"
  if better "$w" "$lw"; then lw=$w; lc=$c; fi
  read -r w c < <(timed page_order "$out/page")
  echo "round $r: page order  $w s (cpu $c s)"
  if better "$w" "$pw"; then pw=$w; pc=$c; fi
  read -r w c < <(timed two_jobs "$out/jobs2")
  echo "round $r: --jobs 2    $w s (cpu $c s)"
  if better "$w" "$jw"; then jw=$w; jc=$c; fi
done
cmp -s "$out/lame/Song 1.mp3" "$out/page/Song 1.mp3" && same=yes || same=no
printf '\n%d tracks, 46:00 of audio, 128 kbps, best of %d round(s), load %s\n' "$n" "$rounds" \
  "$(cut -d' ' -f1-3 /proc/loadavg)"
printf 'lame alone %s s wall, %s s cpu; page order %s s wall, %s s cpu; --jobs 2 %s s wall, %s s cpu\n' \
  "$lw" "$lc" "$pw" "$pc" "$jw" "$jc"
awk -v l="$lc" -v p="$pc" -v lw="$lw" -v pw="$pw" -v n="$n" 'BEGIN {
  printf "overhead of the job per track: cpu %.1f %% (%.3f s), wall %.1f %% (target < 5 %%)\n",
    (p - l) / l * 100, (p - l) / n, (pw - lw) / lw * 100 }'
awk -v p="$pw" -v j="$jw" 'BEGIN { printf "--jobs 2 speed-up over the page order: %.2fx (target >= 1.7)\n", p / j }'
echo "first file identical to lame's own: $same"
