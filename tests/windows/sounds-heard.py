#!/usr/bin/env python3
"""Finds the sounds in a recording of the sound server's output and checks them against a list.

Usage: sounds-heard.py <recording> <name|seconds>...
The recording is what sink-recording.sh's start_recording writes: signed 16-bit mono at 48 kHz.

A sound is a stretch above 1% of full scale, apart from the next by 30 ms of quiet. Wine hands
the output to the sound server a few milliseconds at a time from a thread of its own; on a
machine busier than it has cores, that thread may miss its turn and the server then plays a
moment of silence before the rest. Such gaps (under 150 ms) are joined and counted, and a sound
is whole when all of its length was heard: fades shorten a tone a little, and encoders may pad
it (MP3, Opus), never cut it. Exits non-zero unless each listed sound was heard once, whole, in
the order listed, and nothing else was.
"""
import array
import sys

RATE, THRESHOLD = 48000, 328
QUIET, GAP = int(0.03 * RATE), int(0.15 * RATE)

samples = array.array("h", open(sys.argv[1], "rb").read())
expected = [(s.split("|")[0], float(s.split("|")[1])) for s in sys.argv[2:]]
pieces, start, last = [], None, None
for i, v in enumerate(samples):
    if abs(v) >= THRESHOLD:
        if start is None or i - last > QUIET:
            if start is not None:
                pieces.append((start, last + 1))
            start = i
        last = i
if start is not None:
    pieces.append((start, last + 1))
sounds = []  # per sound: [heard samples, gaps]
for i, (begin, end) in enumerate(pieces):
    if sounds and begin - pieces[i - 1][1] < GAP:
        sounds[-1][0] += end - begin
        sounds[-1][1] += 1
    else:
        sounds.append([end - begin, 0])
print("heard:", " ".join(f"{n / RATE:.3f}" + (f"({g} gaps)" if g else "") for n, g in sounds))
if len(sounds) != len(expected):
    sys.exit(f"heard {len(sounds)} sounds, expected {len(expected)}")
bad = [f"{name}: {n / RATE:.3f} s" for (name, s), (n, g) in zip(expected, sounds)
       if not s - 0.03 <= n / RATE <= s + 0.08]
if bad:
    sys.exit("not heard whole: " + ", ".join(bad))
print(f"all {len(sounds)} sounds heard whole")
