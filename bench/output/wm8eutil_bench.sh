#!/usr/bin/env bash
# WMA encoding of a 46-minute side cut into tracks: our wm8eutil against
# ffmpeg's own wmav2 encoder on the same track files, in the same run.
# Usage: bench/output/wm8eutil_bench.sh [BUILD_DIR] [ROUNDS]   (defaults: build, 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
rounds=${2:-3}
bin=$build/bin
out=$root/bench/out/wm8eutil
mkdir -p "$out"
export HOME=$out/home XDG_DATA_HOME=$out/home/data XDG_RUNTIME_DIR=$out/home/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
for tool in "$bin/wm8eutil" "$bin/sonivault-cli" ffmpeg ffprobe sox; do
  command -v "$tool" > /dev/null || { echo "missing: $tool" >&2; exit 1; }
done

# The side and its tracks (bench_side.sh).
. "$root/bench/output/bench_side.sh"
bench_side "$out" "$bin"
mapfile -t wavs < <(find "$tracks" -name 'Track *.wav' | sort -V)
[ ${#wavs[@]} -gt 0 ] || { echo "no track files in $tracks" >&2; exit 1; }
seconds=0
for w in "${wavs[@]}"; do
  s=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$w")
  seconds=$(awk -v a="$seconds" -v b="$s" 'BEGIN { print a + b }')
done

ours() { # every track, one encoder run after the other, as the WMA page runs them
  local dest=$1 w n
  for w in "${wavs[@]}"; do
    n=$(basename "$w" .wav)
    "$bin/wm8eutil" -input "$w" -output "$dest/$n.wma" -a_setting 128_44_2 -title "$n" -author "Bench"
  done
}
theirs() {
  local dest=$1 w n
  for w in "${wavs[@]}"; do
    n=$(basename "$w" .wav)
    ffmpeg -nostdin -hide_banner -loglevel error -y -i "$w" -c:a wmav2 -b:a 128k \
      -metadata title="$n" -metadata artist="Bench" "$dest/$n.wma"
  done
}
timed() { # "wall user+sys" seconds of a whole encoding pass (children included)
  local fn=$1 dest=$2 TIMEFORMAT="%R %U %S"
  rm -rf "$dest"
  mkdir -p "$dest"
  { time "$fn" "$dest"; } 2> "$out/time.txt"
  awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$out/time.txt"
}

cat "${wavs[@]}" > /dev/null # both read from a warm page cache
ours_wall="" ours_cpu="" ff_wall="" ff_cpu=""
for r in $(seq "$rounds"); do # alternating rounds; the best of each counts
  read -r w c < <(timed ours "$out/ours")
  echo "round $r: wm8eutil $w s (cpu $c s)"
  if [ -z "$ours_wall" ] || awk -v a="$w" -v b="$ours_wall" 'BEGIN { exit !(a < b) }'; then ours_wall=$w; ours_cpu=$c; fi
  read -r w c < <(timed theirs "$out/ffmpeg")
  echo "round $r: ffmpeg   $w s (cpu $c s)"
  if [ -z "$ff_wall" ] || awk -v a="$w" -v b="$ff_wall" 'BEGIN { exit !(a < b) }'; then ff_wall=$w; ff_cpu=$c; fi
done

# The whole side as one file: the encoders alone, without 48 process starts.
whole_ours() { "$bin/wm8eutil" -input "$side" -output "$1/side.wma" -a_setting 128_44_2; }
whole_theirs() { ffmpeg -nostdin -hide_banner -loglevel error -y -i "$side" -c:a wmav2 -b:a 128k "$1/side.wma"; }
cat "$side" > /dev/null
read -r whole_ours_wall whole_ours_cpu < <(timed whole_ours "$out/whole-ours")
read -r whole_ff_wall whole_ff_cpu < <(timed whole_theirs "$out/whole-ffmpeg")

# sonivault-cli encode wma on the same tracks: one encoder after the other (the
# page's order) against two at once, best of the rounds each.
"$bin/sonivault-cli" xml set "128 kbps Normal Quality" Profile 'Encoding\WMA' ''
cli_one() { "$bin/sonivault-cli" encode wma "$tracks/recording.xml" "$1" --jobs 1 > /dev/null; }
cli_two() { "$bin/sonivault-cli" encode wma "$tracks/recording.xml" "$1" --jobs 2 > /dev/null; }
best() { # best() FN DEST: the best "wall cpu" of the rounds
  local fn=$1 dest=$2 bw="" bc="" w c
  for _ in $(seq "$rounds"); do
    read -r w c < <(timed "$fn" "$dest")
    if [ -z "$bw" ] || awk -v a="$w" -v b="$bw" 'BEGIN { exit !(a < b) }'; then bw=$w; bc=$c; fi
  done
  echo "$bw $bc"
}
read -r cli_one_wall cli_one_cpu < <(best cli_one "$out/cli-one")
read -r cli_two_wall cli_two_cpu < <(best cli_two "$out/cli-two")
[ "$(find "$out/cli-two" -name '*.wma' | wc -l)" -eq ${#wavs[@]} ] || { echo "CLI made too few files" >&2; exit 1; }

bytes() { du -cb "$1"/*.wma | tail -1 | cut -f1; }
ours_bytes=$(bytes "$out/ours")
ff_bytes=$(bytes "$out/ffmpeg")
printf '\n%d tracks, %.1f s of audio, 128 kbps, best of %d rounds\n' "${#wavs[@]}" "$seconds" "$rounds"
printf '%-10s %8s %8s %12s %10s\n' "" "wall s" "cpu s" "bytes" "kbit/s"
printf '%-10s %8s %8s %12s %10.1f\n' wm8eutil "$ours_wall" "$ours_cpu" "$ours_bytes" \
  "$(awk -v b="$ours_bytes" -v s="$seconds" 'BEGIN { print b * 8 / s / 1000 }')"
printf '%-10s %8s %8s %12s %10.1f\n' ffmpeg "$ff_wall" "$ff_cpu" "$ff_bytes" \
  "$(awk -v b="$ff_bytes" -v s="$seconds" 'BEGIN { print b * 8 / s / 1000 }')"
awk -v a="$ours_wall" -v b="$ff_wall" 'BEGIN { printf "ffmpeg / wm8eutil wall time: %.2f (target >= 1)\n", b / a }'
awk -v a="$ours_cpu" -v b="$ff_cpu" 'BEGIN { printf "ffmpeg / wm8eutil cpu time:  %.2f\n", b / a }'
printf '\nwhole side in one file (one run): wm8eutil %s s (cpu %s s), ffmpeg %s s (cpu %s s)\n' \
  "$whole_ours_wall" "$whole_ours_cpu" "$whole_ff_wall" "$whole_ff_cpu"
printf '\nsonivault-cli encode wma, 128 kbps: --jobs 1 %s s (cpu %s s), --jobs 2 %s s (cpu %s s)\n' \
  "$cli_one_wall" "$cli_one_cpu" "$cli_two_wall" "$cli_two_cpu"
awk -v a="$cli_one_wall" -v b="$cli_two_wall" 'BEGIN { printf "two jobs / one after another: %.2fx faster\n", a / b }'
awk -v a="$cli_one_wall" -v b="$ours_wall" 'BEGIN { printf "CLI --jobs 1 against wm8eutil alone in a shell loop: %+.1f %%\n", (a / b - 1) * 100 }'
