"""The shock response spectrum computed independently of korvex, for the
benchmark scripts: coefficients of the ramp-invariant acceleration filter
worked out here, scipy.signal.lfilter per frequency."""
import numpy as np
from scipy.signal import lfilter


def frequencies(f_from, f_to, per_octave):
    freqs, k = [], 0
    while f_from * 2 ** (k / per_octave) <= f_to * (1 + 1e-9):
        freqs.append(f_from * 2 ** (k / per_octave))
        k += 1
    return freqs


def srs(a, interval, q, f_from, f_to, per_octave, free=False):
    """Rows of frequency, positive, negative and maximax peak of lfilter's
    response; with `free`, also of the free vibration after the record
    (zeros until it has decayed by e^-40), as korvex has it."""
    rows = []
    for f in frequencies(f_from, f_to, per_octave):
        w = 2 * np.pi * f
        A = w * interval / (2 * q)
        B = w * interval * np.sqrt(1 - 1 / (4 * q * q))
        E = np.exp(-A)
        S = np.sin(B) / B
        b = [1 - E * S, 2 * E * (S - np.cos(B)), E * E - E * S]
        den = [1, -2 * E * np.cos(B), E * E]
        y, state = lfilter(b, den, a, zi=np.zeros(2))
        if free:
            y = np.concatenate([y, lfilter(b, den, np.zeros(int(40 / A)), zi=state)[0]])
        rows.append((f, y.max(), -y.min(), max(y.max(), -y.min())))
    return np.array(rows)
