"""Checks that a WAV file holds sound: usage check_audio.py FILE.wav [MIN_SECONDS].

Prints the length and the RMS level; exit 1 when the file is silent or shorter than asked.
"""
import sys
import wave

import numpy


def main():
    with wave.open(sys.argv[1], "rb") as w:
        frames = w.readframes(w.getnframes())
        rate, channels = w.getframerate(), w.getnchannels()
    samples = numpy.frombuffer(frames, dtype=numpy.int16).astype(numpy.float64)
    seconds = len(samples) / channels / rate if rate else 0
    rms = float(numpy.sqrt(numpy.mean(samples ** 2))) if len(samples) else 0.0
    print(f"seconds {seconds:.2f} rms {rms:.1f}")
    minimum = float(sys.argv[2]) if len(sys.argv) > 2 else 1.0
    return 0 if rms > 100.0 and seconds >= minimum else 1


if __name__ == "__main__":
    sys.exit(main())
