#!/usr/bin/env bash
# store_concurrent.sh BIN_DIR [WRITERS] [KEYS] [ROUNDS]: WRITERS processes
# store KEYS keys each into one file at the same time; afterwards every key a
# writer was told was stored must be in the file once, and the file must be
# one whole document. Prints rounds, updates reported stored, lost and
# doubled keys and torn files; exits 1 on any.
set -u
bin=$1
writers=${2:-8}
keys=${3:-300}
rounds=${4:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work" XDG_DATA_HOME="$work" TMPDIR="$work"
reported=0 lost=0 doubled=0 torn=0 refused=0
start=$(date +%s%N)
for ((r = 1; r <= rounds; r++)); do
  file="$work/round$r.xml"
  pids=()
  for ((w = 1; w <= writers; w++)); do
    "$bin/store_writer" keys "$file" "W$w" "$keys" > "$work/log.$w" 2>/dev/null &
    pids+=($!)
  done
  wait "${pids[@]}"
  cat "$work"/log.* | sort > "$work/reported"
  grep -o 'Name="W[0-9]*_[0-9]*"' "$file" | sed 's/Name="\(.*\)"/\1/' | sort > "$work/present"
  n=$(wc -l < "$work/reported")
  reported=$((reported + n))
  refused=$((refused + writers * keys - n))
  lost=$((lost + $(comm -23 "$work/reported" "$work/present" | wc -l)))
  doubled=$((doubled + $(uniq -d "$work/present" | wc -l)))
  if [ "$(tail -c 8 "$file")" != $'</XML>\r' ] || [ "$(grep -c '</XML>' "$file")" -ne 1 ]; then
    torn=$((torn + 1))
  fi
done
ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "store_concurrent: rounds $rounds, writers $writers, updates reported stored $reported (refused $refused)," \
  "lost $lost, doubled keys $doubled, torn files $torn, $ms ms"
[ "$lost" -eq 0 ] && [ "$doubled" -eq 0 ] && [ "$torn" -eq 0 ] && [ "$refused" -eq 0 ]
