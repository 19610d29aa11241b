#!/usr/bin/env bash
# kill -9 during splits: after every kill (and the next split's recovery) the
# folder must hold one complete set of tracks with its index, no leftover,
# and a link planted under an output's name must not have been followed.
# usage: split_kill.sh [--kills N] [path/to/sonivault-cli]
set -euo pipefail
KILLS=200
if [[ "${1:-}" == "--kills" ]]; then KILLS=$2; shift 2; fi
CLI=${1:-build/bin/sonivault-cli}
CLI=$(readlink -f "$CLI")
HERE=$(dirname "$(readlink -f "$0")")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/split-kill-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export HOME=$WORK/home XDG_DATA_HOME=$WORK/data XDG_CONFIG_HOME=$WORK/config
mkdir -p "$HOME"
exec python3 - "$CLI" "$WORK" "$KILLS" "$HERE" <<'PY'
import os, random, signal, subprocess, sys, time
cli, work, kills, here = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
sys.path.insert(0, here)
from split_common import write_wav, snapshot, classify, digest

rec = os.path.join(work, 'recording.wav')
write_wav(rec, 12)
A = ['--track', '0', '2.5', '--track', '2.5', '2', '--track', '4.5', '3', '--track', '7.5', '2', '--track', '9.5', '2.5']
B = ['--track', '0.7', '5', '--track', '5.7', '6.3']
sets = {}
for label, args in (('A', A), ('B', B)):
    ref = os.path.join(work, 'ref' + label)
    subprocess.run([cli, 'split', rec, ref] + args, check=True, stdout=subprocess.DEVNULL)
    sets[label] = snapshot(ref)[0]

folder = os.path.join(work, 'out')
subprocess.run([cli, 'split', rec, folder] + A, check=True, stdout=subprocess.DEVNULL)
victim = os.path.join(work, 'victim')
with open(victim, 'w') as f:
    f.write('precious')
victim_digest = digest(victim)

# How long a whole split takes here, replacing the other set.
spans = []
for args in (B, A, B, A):
    t0 = time.monotonic()
    subprocess.run([cli, 'split', rec, folder] + args, check=True, stdout=subprocess.DEVNULL)
    spans.append(time.monotonic() - t0)
span = max(spans)

faults = {}
raw_consistent = recovered = finished = followed = 0
current = 'A'
runs = 0
while runs - finished < kills and runs < 3 * kills:
    n = runs
    runs += 1
    target = 'B' if current == 'A' else 'A'
    # Links planted where the split writes its temporaries.
    for name in ('Track 1.wav.part', 'Track 3.wav.part', 'recording.xml.next'):
        p = os.path.join(folder, name)
        if not os.path.lexists(p):
            os.symlink(victim, p)
    t0 = time.monotonic()
    p = subprocess.Popen([cli, 'split', rec, folder] + (A if target == 'A' else B),
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # Half the kills anywhere, half near the end where the set is committed.
    time.sleep(span * (random.uniform(0, 1.1) if n % 2 else random.uniform(0.6, 1.2)))
    p.send_signal(signal.SIGKILL)
    rc = p.wait()
    if rc == 0:
        finished += 1
        span = min(span, 0.95 * (time.monotonic() - t0))  # the machine got faster: aim earlier
    state = classify(folder, {'A': sets['A'], 'B': sets['B']})
    if state in ('A', 'B'):
        raw_consistent += 1
    subprocess.run([cli, 'split-recover', folder], check=True)
    state = classify(folder, {'A': sets['A'], 'B': sets['B']})
    leftovers = [e for e in snapshot(folder)[1]]
    if state not in ('A', 'B'):
        faults[state] = faults.get(state, 0) + 1
    elif state != current:
        recovered += state == target
        current = state
    if leftovers:
        faults['leftovers'] = faults.get('leftovers', 0) + 1
    if digest(victim) != victim_digest:
        followed += 1
        with open(victim, 'w') as f:
            f.write('precious')
print(f'split kill -9: {runs} runs ({span * 1000:.0f} ms a split at the end), {runs - finished} killed, '
      f'{finished} finished before the kill')
print(f'  consistent right after the kill: {raw_consistent}; set switched: {recovered}')
print(f'  truncated sets: {faults.get("truncated", 0)}, mixed sets: {faults.get("mixed", 0)}, '
      f'other faults: {sum(v for k, v in faults.items() if k not in ("truncated", "mixed"))} {faults or ""}')
print(f'  followed links: {followed}')
sys.exit(1 if faults or followed else 0)
PY
