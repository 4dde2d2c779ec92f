#!/usr/bin/env python3
"""Writes the check's bench records: 2,000,000 samples at 10 kHz, time and
value per line. good: an 11 ms half-sine of 50 at 100 s with 1 % noise;
noise: noise alone; inverted: the good record's negative; at-start: the
half-sine at the first sample; long: a 60 s half-sine at 100 s.
Usage: bench/check_records.py FOLDER"""
import sys

import numpy as np

n, dt = 2_000_000, 1e-4
t = np.arange(n) * dt
rng = np.random.default_rng(42)


def half_sine(start, duration, amplitude=50.0):
    u = t - start
    return np.where((u >= 0) & (u <= duration), amplitude * np.sin(np.pi * u / duration), 0.0)


noise = rng.normal(0.0, 0.5, n)
records = {
    "good": half_sine(100.0, 0.011) + noise,
    "noise": noise * 20,
    "inverted": -(half_sine(100.0, 0.011) + noise),
    "at-start": half_sine(0.0, 0.011) + noise,
    "long": half_sine(100.0, 60.0) + noise,
}
for name, values in records.items():
    np.savetxt(f"{sys.argv[1]}/{name}.txt", np.column_stack([t, values]), fmt="%.7g")
