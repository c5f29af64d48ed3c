#!/usr/bin/env python3
"""Writes res/completion_sound.wav: the chime played after a successful backup.

The layout is fixed, because the program's wait is derived from it and the
tests compare against it byte for byte: RIFF/WAVE, a 16-byte PCM "fmt " chunk
(2 channels, 16 bits, 44,100 Hz), a "data" chunk of 88,053 frames
(352,212 bytes), then a 54-byte "LIST" chunk whose INFO list holds one ISFT
entry naming this generator; 352,318 bytes in all.

The sound is three bell-like notes of a rising major triad (C5, E5, G5),
each with a soft attack and an exponential decay, spread a little across the
stereo field. The whole is normalised to a peak of -3 dBFS and faded to
silence at its end, so it neither clips nor clicks.

Usage: make_completion_sound.py [OUTPUT]   (default: res/completion_sound.wav)
"""

import math
import os
import struct
import sys

RATE = 44100
CHANNELS = 2
BITS = 16
FRAMES = 88053
PEAK_DBFS = -3.0
# 41 characters and the terminating NUL fill the ISFT entry's 42 bytes, which
# makes the LIST chunk exactly 54 bytes.
SOFTWARE = b"Quillfort: tools/make_completion_sound.py\x00"

# (start in seconds, frequency in Hz, gain, pan from -1 left to +1 right)
NOTES = [
    (0.000, 523.25, 1.00, -0.25),
    (0.160, 659.26, 0.90, 0.00),
    (0.320, 783.99, 0.85, 0.25),
]
# Partials of a soft bell: (frequency ratio, relative amplitude, decay rate).
PARTIALS = [(1.0, 1.00, 2.2), (2.0, 0.22, 4.5), (3.0, 0.06, 7.0)]
ATTACK = 0.012  # seconds; a raised-cosine rise, short enough to sound struck
END_FADE = 0.060  # seconds; the last frames fall to exact silence


def render():
    left = [0.0] * FRAMES
    right = [0.0] * FRAMES
    attack_frames = int(ATTACK * RATE)
    for start, freq, gain, pan in NOTES:
        first = int(round(start * RATE))
        # Constant-power pan keeps each note equally loud wherever it sits.
        angle = (pan + 1.0) * math.pi / 4.0
        gain_l = gain * math.cos(angle)
        gain_r = gain * math.sin(angle)
        for n in range(first, FRAMES):
            t = (n - first) / RATE
            value = 0.0
            for ratio, amplitude, decay in PARTIALS:
                value += amplitude * math.exp(-decay * t) * math.sin(2.0 * math.pi * freq * ratio * t)
            k = n - first
            if k < attack_frames:
                value *= 0.5 - 0.5 * math.cos(math.pi * k / attack_frames)
            left[n] += value * gain_l
            right[n] += value * gain_r
    fade_frames = int(END_FADE * RATE)
    for i in range(fade_frames):
        # i = 0 is the last frame: weight 0 there, rising to 1 at the fade's start.
        weight = 0.5 - 0.5 * math.cos(math.pi * i / fade_frames)
        left[FRAMES - 1 - i] *= weight
        right[FRAMES - 1 - i] *= weight
    peak = max(max(abs(v) for v in left), max(abs(v) for v in right))
    scale = 32767.0 * 10.0 ** (PEAK_DBFS / 20.0) / peak
    samples = bytearray()
    for l, r in zip(left, right):
        samples += struct.pack("<hh", int(round(l * scale)), int(round(r * scale)))
    return bytes(samples)


def build_image(samples):
    block_align = CHANNELS * BITS // 8
    fmt_body = struct.pack("<HHIIHH", 1, CHANNELS, RATE, RATE * block_align, block_align, BITS)
    isft = b"ISFT" + struct.pack("<I", len(SOFTWARE)) + SOFTWARE
    list_body = b"INFO" + isft
    chunks = (b"fmt " + struct.pack("<I", len(fmt_body)) + fmt_body
              + b"data" + struct.pack("<I", len(samples)) + samples
              + b"LIST" + struct.pack("<I", len(list_body)) + list_body)
    image = b"RIFF" + struct.pack("<I", 4 + len(chunks)) + b"WAVE" + chunks
    assert len(samples) == FRAMES * block_align == 352212
    assert len(list_body) == 54
    assert len(image) == 352318
    return image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "res", "completion_sound.wav")
    with open(output, "wb") as f:
        f.write(build_image(render()))


if __name__ == "__main__":
    main()
