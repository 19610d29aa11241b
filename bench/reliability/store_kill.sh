#!/usr/bin/env bash
# store_kill.sh BIN_DIR [KILLS]: starts a writer that stores a rising counter
# (and changes other keys around it) as fast as it can, kills it with -9 after
# 10-90 ms, and checks the file after every kill: a whole document (header
# first, "</XML>" last), readable, holding at least the last value the writer
# was told was stored. Prints runs, kills, damaged stores and lost updates;
# exits 1 when any store was damaged or any update lost.
set -u
bin=$1
kills=${2:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work" XDG_DATA_HOME="$work" TMPDIR="$work"
file="$work/settings.xml"
header='<XML Version="Quarrydale">'
runs=0 killed=0 damaged=0 lost=0 stored=0 last=0
for ((k = 1; k <= kills; k++)); do
  "$bin/store_writer" counter "$file" > "$work/log" 2>/dev/null &
  pid=$!
  sleep "0.0$((RANDOM % 9 + 1))"
  kill -9 "$pid" 2>/dev/null && killed=$((killed + 1))
  wait "$pid" 2>/dev/null
  runs=$((runs + 1))
  reported=$(tail -n 1 "$work/log")
  [ -n "$reported" ] && last=$reported
  stored=$((stored + $(wc -l < "$work/log")))
  [ -e "$file" ] || continue
  IFS= read -r first < "$file"
  # The default 0 until the first counter is stored; a read error gives "".
  value=$("$bin/sonivault-cli" xml get Counter A "$file" 0)
  if [ "$first" != "$header"$'\r' ] || [ "$(tail -c 8 "$file")" != $'</XML>\r' ] || ! [[ $value =~ ^[0-9]+$ ]]; then
    damaged=$((damaged + 1))
    echo "damaged after kill $k:" >&2
    head -c 400 "$file" | od -c | head -20 >&2
    cp "$file" "$work/../store_kill_damaged.$k.xml" 2>/dev/null
  elif [ "$value" -lt "$last" ]; then
    lost=$((lost + 1))
    echo "lost after kill $k: file holds $value, $last was reported stored" >&2
  fi
done
left=$(find "$work" -name 'settings.xml.tmp.*' | wc -l)
"$bin/sonivault-cli" xml set 0 Reset A "$file" && after=$(find "$work" -name 'settings.xml.tmp.*' | wc -l)
echo "store_kill: runs $runs, kills $killed, updates reported stored $stored, damaged stores $damaged," \
  "lost updates $lost, temporaries left by kills $left (after the next write: ${after:-?})"
[ "$damaged" -eq 0 ] && [ "$lost" -eq 0 ] && [ "$runs" -gt 0 ]
