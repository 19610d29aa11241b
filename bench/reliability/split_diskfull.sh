#!/usr/bin/env bash
# Splits onto small tmpfs disks (mounted here; needs root): every run either
# succeeds or fails naming "Disk full", and leaves the folder's earlier set
# and index whole with no leftover.
# usage: split_diskfull.sh [path/to/sonivault-cli]
set -euo pipefail
CLI=$(readlink -f "${1:-build/bin/sonivault-cli}")
if [[ $(id -u) != 0 ]]; then
    echo "split_diskfull: mounting a tmpfs needs root" >&2
    [[ -n "${CI:-}" ]] && exit 1
    exit 77
fi
HERE=$(dirname "$(readlink -f "$0")")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/split-full-XXXXXX")
cleanup() { mountpoint -q "$WORK/disk" && umount -l "$WORK/disk"; rm -rf "$WORK"; }
trap cleanup EXIT
export HOME=$WORK/home XDG_DATA_HOME=$WORK/data XDG_CONFIG_HOME=$WORK/config
mkdir -p "$HOME" "$WORK/disk"
exec python3 - "$CLI" "$WORK" "$HERE" <<'PY'
import os, subprocess, sys
cli, work, here = sys.argv[1], sys.argv[2], sys.argv[3]
sys.path.insert(0, here)
from split_common import write_wav, snapshot, classify

rec = os.path.join(work, 'recording.wav')
write_wav(rec, 6)  # 1 MiB of audio
old = ['--track', '0', '0.5']
new = ['--track', '0', '2', '--track', '2', '2', '--track', '4', '2']
ref = os.path.join(work, 'ref')
subprocess.run([cli, 'split', rec, ref] + old, check=True, stdout=subprocess.DEVNULL)
old_set = snapshot(ref)[0]
ref2 = os.path.join(work, 'ref2')
subprocess.run([cli, 'split', rec, ref2] + new, check=True, stdout=subprocess.DEVNULL)
new_set = snapshot(ref2)[0]

disk = os.path.join(work, 'disk')
runs = full = ok = wrong_reason = damaged = 0
for kib in range(96, 1200, 24):
    subprocess.run(['mount', '-t', 'tmpfs', '-o', f'size={kib}k', 'tmpfs', disk], check=True)
    try:
        r0 = subprocess.run([cli, 'split', rec, disk] + old, capture_output=True, text=True)
        if r0.returncode != 0:
            continue  # not even the small set fits
        runs += 1
        r = subprocess.run([cli, 'split', rec, disk] + new, capture_output=True, text=True)
        state = classify(disk, {'old': old_set, 'new': new_set})
        leftovers = snapshot(disk)[1]
        if r.returncode == 0:
            ok += 1
            damaged += state != 'new' or bool(leftovers)
        else:
            full += 1
            wrong_reason += 'Disk full' not in r.stderr
            damaged += state != 'old' or bool(leftovers)
    finally:
        subprocess.run(['umount', '-l', disk], check=True)
print(f'split onto a full disk: {runs} disk sizes from 96 KiB, {full} refused, {ok} fitted')
print(f'  refusals not naming "Disk full": {wrong_reason}; damaged or mixed folders, leftovers: {damaged}')
sys.exit(1 if wrong_reason or damaged or runs == 0 else 0)
PY
