# Sourced by the output benchmarks. bench_side OUT BIN: the side is the demo
# deck's music side repeated and cut to 46:00 (OUT/side.wav), split into tracks
# by our own detection as the wizard would (OUT/tracks). Both are kept between
# runs; sets $side and $tracks.
bench_side() {
  local out=$1 bin=$2
  side=$out/side.wav
  tracks=$out/tracks
  if [ ! -f "$side" ]; then
    "$bin/sonivault-cli" demo-side "$out/demo.wav"
    local copies=()
    for _ in $(seq 13); do copies+=("$out/demo.wav"); done
    sox "${copies[@]}" "$side" trim 0 2760
    rm -f "$out/demo.wav"
  fi
  if [ ! -d "$tracks" ]; then
    "$bin/sonivault-cli" split "$side" "$tracks" > /dev/null
  fi
}
