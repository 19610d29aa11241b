#!/usr/bin/env bash
# Waveform, detection and split on a generated 46-minute stereo recording,
# against ffmpeg's silencedetect and cp on the same file in the same run.
# Usage: bench/tracks/run.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
cli=$build/bin/sonivault-cli
out=$root/bench/out/tracks
mkdir -p "$out"
export HOME=$out/home XDG_DATA_HOME=$out/home/data XDG_RUNTIME_DIR=$out/home/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
wav=$out/side.wav

# 46 minutes: 11 songs of 4 minutes (a 440 Hz tone with a slow swell) with
# 10-second gaps holding faint hiss, then silence to the end.
if [ ! -f "$wav" ]; then
  ffmpeg -loglevel error -y -f lavfi \
    -i "aevalsrc='if(lt(mod(t,250),240),(0.2+0.1*sin(t/7))*sin(2*PI*440*t),0.002*(random(0)-0.5))|if(lt(mod(t,250),240),(0.2+0.1*sin(t/7))*sin(2*PI*330*t),0.002*(random(1)-0.5))':s=44100:d=2760" \
    -c:a pcm_s16le "$wav"
fi
bytes=$(stat -c %s "$wav")

t() { # seconds and peak KiB of a command: "secs kib"
  /usr/bin/time -f "%e %M" -o "$out/time.txt" "$@" > "$out/stdout.txt" 2> "$out/stderr.txt"
  cat "$out/time.txt"
}

best() { # best of N runs of a command: "secs kib" of the fastest
  local n=$1; shift
  local bs="" bk=""
  for _ in $(seq "$n"); do
    read -r s k < <(t "$@")
    if [ -z "$bs" ] || awk -v a="$s" -v b="$bs" 'BEGIN { exit !(a < b) }'; then bs=$s; bk=$k; fi
  done
  echo "$bs $bk"
}

sync
cat "$wav" > /dev/null # same warm page cache for every contender
read -r detect_s detect_kib < <(best 5 "$cli" detect "$wav" --method bands)
tracks=$(grep -o '"left"' "$out/stdout.txt" | wc -l)
read -r audio_s _ < <(best 5 "$cli" detect "$wav" --method audio)
read -r image_s _ < <(best 5 "$cli" detect "$wav" --method image)
bands_steps=$("$build/bin/bench_detect" "$wav" bands | tail -2 | tr '\n' ' ')
read -r ff_s _ < <(best 3 ffmpeg -hide_banner -nostats -i "$wav" -af silencedetect=noise=-45dB:d=0.5 -f null -)
ff_gaps=$(grep -c silence_end "$out/stderr.txt" || true)

# Copies alternate, each written fresh after a sync, so that neither pays for
# the other's dirty pages; the fastest of three rounds counts.
split_s="" cp_s="" split_kib=0
for _ in 1 2 3; do
  rm -rf "$out/split" "$out/cp"; mkdir -p "$out/cp"; sync
  read -r s k < <(t "$cli" split "$wav" "$out/split" --track 0 2760)
  if [ -z "$split_s" ] || awk -v a="$s" -v b="$split_s" 'BEGIN { exit !(a < b) }'; then split_s=$s; fi
  [ "$k" -gt "$split_kib" ] && split_kib=$k
  rm -rf "$out/split"; sync
  read -r s _ < <(t cp "$wav" "$out/cp/side.wav")
  if [ -z "$cp_s" ] || awk -v a="$s" -v b="$cp_s" 'BEGIN { exit !(a < b) }'; then cp_s=$s; fi
done
rm -rf "$out/split" "$out/cp"

mib() { awk -v b="$bytes" -v s="$1" 'BEGIN { printf "%.0f", (s > 0 ? b / s / 1048576 : 0) }'; }
cat <<REPORT
recording: $bytes bytes, 46:00 stereo 16-bit 44100 Hz
draw + detect (bands):  ${detect_s} s, peak ${detect_kib} KiB, $tracks tracks
  in one process: $bands_steps
draw + detect (audio):  ${audio_s} s
draw + detect (image):  ${image_s} s
ffmpeg silencedetect:   ${ff_s} s ($ff_gaps gaps)
speed-up over ffmpeg:   $(awk -v a="$ff_s" -v b="$detect_s" 'BEGIN { printf "%.1f", (b > 0 ? a / b : 0) }')x
split (one 46:00 track): ${split_s} s, $(mib "$split_s") MiB/s, peak ${split_kib} KiB
cp of the same bytes:    ${cp_s} s, $(mib "$cp_s") MiB/s
split / cp throughput:   $(awk -v a="$cp_s" -v b="$split_s" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
REPORT
