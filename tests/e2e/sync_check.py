#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures a recording of our hits beside a metronome's clicks.
#
# usage: sync_check.py split REC.wav CHANNEL OUT.wav
#          writes channel CHANNEL (0-based) of REC.wav alone, as the left one
#        sync_check.py quiet REC.wav CHANNEL
#          succeeds when CHANNEL holds no click or hit
#        sync_check.py grid REC.wav CHANNEL HITS TOLERANCE
#          the metronome's clicks on CHANNEL give the grid: a beat at every
#          click, four steps to a beat; every accented click (the higher tone)
#          needs one of HITS (frames, one line) within TOLERANCE frames, and
#          every hit a step of the grid; the bar after a change of the beat's
#          length is passed over
#        sync_check.py pair HITS_A HITS_B TOLERANCE
#          every hit of A needs one of B within TOLERANCE frames
# Prints the error's 99th percentile and maximum in ms; fails when one is
# out of tolerance.

import struct
import sys
import wave


def channel(path, index):
    with wave.open(path) as w:
        count, rate = w.getnchannels(), w.getframerate()
        data = w.readframes(w.getnframes())
    samples = struct.unpack("<%dh" % (len(data) // 2), data)
    return list(samples[index::count]), rate


def clicks(samples, rate):
    # (frame, accented) of every click: a rise after 10 ms of silence.
    quiet, found, threshold = 0, [], 300
    for frame, value in enumerate(samples):
        if abs(value) < threshold:
            quiet += 1
            continue
        if quiet >= rate // 100:
            window = samples[frame:frame + rate // 100]
            crossings = sum(1 for a, b in zip(window, window[1:]) if (a < 0) != (b < 0))
            # 1568 Hz crosses zero 31 times in 10 ms, 1109 Hz 22 times.
            found.append((frame, crossings > 26))
        quiet = 0
    return found


def summary(errors, rate, tolerance, what):
    if not errors:
        sys.exit("%s: nothing to compare" % what)
    ordered = sorted(abs(e) for e in errors)
    p99 = ordered[min(len(ordered) - 1, int(len(ordered) * 0.99))]
    print("%s: %d, p99 %.3f ms, max %.3f ms" % (what, len(ordered), 1000.0 * p99 / rate,
                                              1000.0 * ordered[-1] / rate))
    return ordered[-1] <= tolerance


def nearest(frame, candidates):
    return min((c - frame for c in candidates), key=abs) if candidates else 1 << 40


def grid(path, index, hits_file, tolerance):
    samples, rate = channel(path, index)
    beats = clicks(samples, rate)
    hits = [int(x) for x in open(hits_file).read().split()]
    spans = [(a, b) for (a, _), (b, _) in zip(beats, beats[1:])]
    passed_over = set()
    for i in range(1, len(spans)):
        before, now = spans[i - 1], spans[i]
        if abs((now[1] - now[0]) - (before[1] - before[0])) > tolerance:
            passed_over.update(range(i, i + 5))
    errors = []
    for hit in hits:
        inside = [i for i, (a, b) in enumerate(spans) if a - tolerance <= hit < b - tolerance]
        if not inside or inside[0] in passed_over:
            continue
        a, b = spans[inside[0]]
        errors.append(nearest(hit, [a + (b - a) * k / 4.0 for k in range(5)]))
    first, last = beats[0][0], beats[-1][0]
    accents = [f for f, accented in beats if accented and first < f < last]
    ok = summary(errors, rate, tolerance, "steps on the grid")
    ok &= summary([nearest(f, hits) for f in accents], rate, tolerance,
                  "step 1 on the bar's first beat")
    return ok


def main():
    command = sys.argv[1]
    if command == "split":
        samples, rate = channel(sys.argv[2], int(sys.argv[3]))
        with wave.open(sys.argv[4], "wb") as out:
            out.setnchannels(1)
            out.setsampwidth(2)
            out.setframerate(rate)
            out.writeframes(struct.pack("<%dh" % len(samples), *samples))
        return 0
    if command == "quiet":
        samples, _ = channel(sys.argv[2], int(sys.argv[3]))
        return 0 if max(abs(x) for x in samples) < 300 else 1
    if command == "grid":
        return 0 if grid(sys.argv[2], int(sys.argv[3]), sys.argv[4], int(sys.argv[5])) else 1
    if command == "pair":
        a = [int(x) for x in open(sys.argv[2]).read().split()]
        b = [int(x) for x in open(sys.argv[3]).read().split()]
        tolerance = int(sys.argv[4])
        return 0 if summary([nearest(h, b) for h in a], 48000, tolerance, "hits paired") else 1
    sys.exit("usage: sync_check.py split|quiet|grid|pair ...")


if __name__ == "__main__":
    sys.exit(main())
