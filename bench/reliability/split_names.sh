#!/usr/bin/env bash
# Splits into folders (and from recordings) with hostile names: markup,
# quotes, shell syntax, a leading dash, a newline, long and non-UTF-8 names.
# Each must split with an index that names the files exactly, or be refused
# with exit 2 (names the system's encoding cannot carry); no command may run.
# usage: split_names.sh [path/to/sonivault-cli]
set -euo pipefail
CLI=$(readlink -f "${1:-build/bin/sonivault-cli}")
HERE=$(dirname "$(readlink -f "$0")")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/split-names-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export HOME=$WORK/home XDG_DATA_HOME=$WORK/data XDG_CONFIG_HOME=$WORK/config
mkdir -p "$HOME"
cd "$WORK"
exec python3 - "$CLI" "$WORK" "$HERE" <<'PY'
import os, subprocess, sys
cli, work, here = sys.argv[1], sys.argv[2], sys.argv[3]
sys.path.insert(0, here)
from split_common import write_wav

names = [b'plain', b'a b  c', b'quote"s', b"it's", b'<tag> & </XML>', b'$(touch PWNED)', b'`touch PWNED`',
         b'-dash', b'new\nline', b'semi;colon|pipe', b'back\\slash', b'x' * 250, 'caf\u00e9 \u266b'.encode(),
         b'caf\xe9', b'\xff\xfe']
runs = good = refused = unstorable = wrong = 0
for raw in names:
    folder = os.path.join(work.encode(), b'out', raw)
    rec = os.path.join(work.encode(), raw[:200].replace(b'/', b'_') + b'.wav')
    write_wav(rec, 1, rate=8000)
    runs += 1
    r = subprocess.run([cli.encode(), b'split', rec, folder, b'--track', b'0', b'0.5', b'--track', b'0.5', b'0.5'],
                       capture_output=True)
    if r.returncode == 2 and not os.path.exists(os.path.join(work.encode(), b'out', raw)):
        refused += 1
        continue
    if r.returncode == 1 and b'cannot be stored in the track index' in r.stderr:
        unstorable += 1  # refused before anything was committed
        continue
    index = os.path.join(folder, b'recording.xml')
    # Read back the way the program reads it.
    listed = [subprocess.run([cli.encode(), b'xml', b'get', b'Filename', b'Track%d' % i, index, b''],
                             capture_output=True).stdout.rstrip(b'\n') for i in (1, 2)] if r.returncode == 0 else None
    expected = [os.path.join(folder, b'Track %d.wav' % i) for i in (1, 2)]
    if r.returncode == 0 and listed == expected and all(os.path.getsize(e) == 44 + 16000 for e in expected):
        good += 1
    else:
        wrong += 1
        print('  wrong:', raw, r.returncode, r.stderr.decode('utf-8', 'replace').strip()[:200], listed)
pwned = os.path.exists(os.path.join(work, 'PWNED'))
print(f'split with hostile names: {runs} names, {good} split with an exact index, {refused} refused '
      f'(not valid UTF-8), {unstorable} refused (the index cannot hold the name), {wrong} wrong; '
      f'commands run through a name: {int(pwned)}')
sys.exit(1 if wrong or pwned else 0)
PY
