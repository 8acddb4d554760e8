#!/usr/bin/python3
"""Pitch and level of windows of a WAV file (16-bit, stereo or mono).

Usage: wav_pitch.py WAV START END [START END ...]   (seconds)
Prints the file's length in seconds, then one line per window: the pitch in Hz and the
RMS level. The pitch is the peak of the harmonic product spectrum between 100 and 1500 Hz
among the frequencies that sound, so a strong second harmonic does not pass for the note.
"""
import sys
import wave

import numpy as np


def main():
    w = wave.open(sys.argv[1])
    rate = w.getframerate()
    x = np.frombuffer(w.readframes(w.getnframes()), dtype=np.int16)
    x = x.reshape(-1, w.getnchannels()).mean(axis=1)
    print(round(len(x) / rate, 2))
    bounds = [float(v) for v in sys.argv[2:]]
    for a, b in zip(bounds[0::2], bounds[1::2]):
        seg = x[int(a * rate):int(b * rate)]
        if len(seg) == 0:
            print(0, 0)
            continue
        spectrum = np.abs(np.fft.rfft(seg * np.hanning(len(seg)), 8 * len(seg)))
        hps = spectrum.copy()
        for h in (2, 3):
            hps[:len(spectrum[::h])] *= spectrum[::h]
        f = np.fft.rfftfreq(8 * len(seg), 1 / rate)
        band = (f > 100) & (f < 1500)
        # Only frequencies that sound themselves can be the note (a pure tone has no
        # harmonics to multiply).
        band &= spectrum >= 0.1 * spectrum[band].max()
        print(round(f[band][np.argmax(hps[band])], 1), int(np.sqrt(np.mean(seg ** 2))))


if __name__ == "__main__":
    main()
