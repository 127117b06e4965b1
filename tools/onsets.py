#!/usr/bin/env python3
"""Finds the hits in a recording and compares their spacing with a set interval.

usage: onsets.py recording.wav [interval-ms]

A hit's onset is the first sample whose step from the sample before exceeds
a threshold after at least 5 ms of small steps. Working on the steps rather
than the level finds a hit that cuts a still ringing drum, as long as the
ringing is low in pitch; for a drum that starts sharply it is exact to a
sample or two. Prints the onsets and, with an
interval, the median and 99th percentile of the absolute error and the drift
of the last onset from where the first onset and the interval put it.
"""
import statistics
import struct
import sys
import wave


def read_mono(path):
    with wave.open(path, "rb") as w:
        rate, channels, width = w.getframerate(), w.getnchannels(), w.getsampwidth()
        raw = w.readframes(w.getnframes())
    if width != 2:
        raise SystemExit("expects 16-bit PCM")
    values = struct.unpack("<%dh" % (len(raw) // 2), raw)
    mono = [values[i] for i in range(0, len(values), channels)]
    return rate, [0] + [abs(b - a) for a, b in zip(mono, mono[1:])]


def onsets(samples, rate, threshold=400, quiet_ms=5.0, min_gap_ms=8.0):
    quiet_needed = int(rate * quiet_ms / 1000)
    min_gap = int(rate * min_gap_ms / 1000)
    found, quiet, last = [], quiet_needed, -min_gap
    for i, v in enumerate(samples):
        if v >= threshold:
            if quiet >= quiet_needed and i - last >= min_gap:
                found.append(i)
                last = i
            quiet = 0
        elif v < threshold / 2:
            quiet += 1
    return found


def main():
    path = sys.argv[1]
    rate, samples = read_mono(path)
    hits = onsets(samples, rate)
    print("rate %d Hz, %d samples (%.2f s), %d onsets" % (rate, len(samples), len(samples) / rate, len(hits)))
    if len(hits) < 2:
        return
    gaps = [(b - a) * 1000.0 / rate for a, b in zip(hits, hits[1:])]
    print("intervals ms: min %.3f median %.3f max %.3f" % (min(gaps), statistics.median(gaps), max(gaps)))
    if len(sys.argv) > 2:
        interval = float(sys.argv[2])
        errors = sorted(abs(g - interval) for g in gaps)
        p99 = errors[min(len(errors) - 1, int(round(0.99 * (len(errors) - 1))))]
        drift = (hits[-1] - hits[0]) * 1000.0 / rate - interval * (len(hits) - 1)
        print("abs error ms: median %.3f p99 %.3f max %.3f; drift over %d hits %.3f ms"
              % (statistics.median(errors), p99, errors[-1], len(hits), drift))


if __name__ == "__main__":
    main()
