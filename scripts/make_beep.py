#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Synthesise the alarm chime that Nopi plays when a note's alarm fires.

The sound is generated instead of recorded so that it is unmistakably our
own, can be retuned by changing a few numbers, and rebuilds byte for byte.
It is a plain 16-bit mono PCM WAV because that is the one format every
QSoundEffect backend plays without help from a codec.
"""

import math
import os
import struct
import wave

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "ui", "sounds", "beep.wav")

RATE = 44100
LENGTH = 1.3          # seconds
PEAK_DBFS = -6.0      # loud enough to notice, with headroom for the mixer
ATTACK = 0.006        # seconds; a few milliseconds is enough to avoid a click
FADE_OUT = 0.25       # seconds; the tail must reach exactly zero

# A rising major triad (C6, E6, G6): it sounds like a friendly reminder
# rather than an error, and the high register cuts through background
# noise without being shrill.  Each note: (start time, frequency, level).
NOTES = [
    (0.00, 1046.50, 1.00),
    (0.16, 1318.51, 0.90),
    (0.32, 1567.98, 0.85),
]

# Harmonic partials with gentle levels give a soft, glassy tone; a pure
# sine at this pitch sounds like a test signal.  The upper partials die
# faster than the fundamental, as they do on a struck bar.
PARTIALS = [
    # (multiple of the fundamental, level, decay rate per second)
    (1.0, 1.00, 3.2),
    (2.0, 0.28, 6.0),
    (3.0, 0.10, 9.0),
    (4.2, 0.04, 14.0),
]


def note_sample(t, freq):
    if t < 0.0:
        return 0.0
    # raised-cosine attack keeps the onset smooth
    env = 1.0 if t >= ATTACK else 0.5 - 0.5 * math.cos(math.pi * t / ATTACK)
    value = 0.0
    for mult, level, decay in PARTIALS:
        value += level * math.exp(-decay * t) * math.sin(
            2.0 * math.pi * freq * mult * t)
    return env * value


def main():
    count = int(round(RATE * LENGTH))
    fade_len = int(round(RATE * FADE_OUT))
    samples = []
    for n in range(count):
        t = n / RATE
        v = 0.0
        for start, freq, level in NOTES:
            v += level * note_sample(t - start, freq)
        left = count - 1 - n
        if left < fade_len:
            # cosine fade that lands on exactly zero at the last sample
            v *= 0.5 - 0.5 * math.cos(math.pi * left / fade_len)
        samples.append(v)

    peak = max(abs(v) for v in samples)
    scale = 32767.0 * 10.0 ** (PEAK_DBFS / 20.0) / peak
    frames = struct.pack("<%dh" % count,
                         *(int(round(v * scale)) for v in samples))

    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    with wave.open(OUT, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(frames)


if __name__ == "__main__":
    main()
