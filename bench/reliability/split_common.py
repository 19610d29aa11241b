"""Shared helpers of the split reliability scripts: a generated recording and
a check of a track folder against the sets a split may leave."""
import hashlib
import os
import re
import struct


def write_wav(path, seconds, rate=44100):
    frames = seconds * rate
    # Every frame distinct, so a shifted or mixed cut shows in the digests.
    data = bytearray()
    for k in range(frames):
        v = (k * 37) % 65535 - 32767
        data += struct.pack('<hh', v, (k // 65535) % 32767)
    header = b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVEfmt ' + struct.pack(
        '<IHHIIHH', 16, 1, 2, rate, rate * 4, 4, 16) + b'data' + struct.pack('<I', len(data))
    with open(path, 'wb') as f:
        f.write(header + data)


def digest(path):
    with open(path, 'rb') as f:
        return hashlib.sha1(f.read()).hexdigest()


def index_tracks(folder):
    """The track files recording.xml lists, in order, or None without an index."""
    index = os.path.join(folder, 'recording.xml')
    if not os.path.isfile(index):
        return None
    with open(index, 'rb') as f:
        text = f.read().decode('utf-8', 'replace')
    m = re.search(r'<Param Name="Tracks" Value="(\d+)" />', text)
    if not m:
        return 'damaged'
    n = int(m.group(1))
    names = re.findall(r'<Param Name="Filename" Value="([^"]*)" />', text)
    return names if len(names) == n else 'damaged'


def snapshot(folder):
    """{name: digest} of the Track files of the folder, and leftovers."""
    tracks, leftovers = {}, []
    for e in os.listdir(folder):
        p = os.path.join(folder, e)
        if re.fullmatch(r'Track \d+\.wav', e):
            tracks[e] = digest(p)
        elif e != 'recording.xml':
            leftovers.append(e)
    return tracks, leftovers


def classify(folder, sets):
    """'old'/'new' (a complete set with its index), 'empty', or a fault."""
    listed = index_tracks(folder)
    tracks, _ = snapshot(folder)
    if listed is None:
        return 'empty' if not tracks else 'tracks without index'
    if listed == 'damaged':
        return 'damaged index'
    names = [os.path.basename(p) for p in listed]
    for label, expected in sets.items():
        if names == sorted(expected, key=lambda s: int(s.split()[1].split('.')[0])) and \
                {n: tracks.get(n) for n in names} == expected and set(tracks) == set(expected):
            return label
    if any(n not in tracks for n in names):
        return 'truncated'
    return 'mixed'
