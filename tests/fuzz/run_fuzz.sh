#!/usr/bin/env bash
# run_fuzz.sh BINARY SEED_CORPUS SECONDS: a short libFuzzer run on a copy of
# the seed corpus. Exit 77 (skipped) when the fuzz build is not there.
set -u
bin=$1; seeds=$2; secs=$3
[ -x "$bin" ] || { echo "fuzz binary $bin not built (run scripts/test.sh)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
cd "$work"
export HOME="$work" XDG_DATA_HOME="$work" TMPDIR="$work"
"$bin" -max_total_time="$secs" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 "$work" 2>&1 | tail -25
exit "${PIPESTATUS[0]}"
