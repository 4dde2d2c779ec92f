"""korvex-cli analyse and the motion of shaker pulses against an independent
numpy/scipy computation of the same records:

- one record written in every format the reader takes (korvex's own lines,
  comma, semicolon with decimal commas, tab and blank separated, header,
  comments, CR LF, byte-order mark, no time column, times in ms): the same
  figures (numpy) and spectra (scipy.signal.lfilter, the free vibration after
  the record included) from each;
- the three spectrum kinds, against the continuous system solved exactly
  between samples in numpy's long double (no filter at all);
- compensated pulses: velocity and displacement from scipy's cumulative
  trapezoid of the record's own samples, and their ends at rest.

Usage: /usr/bin/python3 bench/records_numpy.py [build dir]
(Debian's python3-numpy and python3-scipy, hence /usr/bin/python3.)"""
import json
import os
import subprocess
import sys
import tempfile

import numpy as np
from scipy.integrate import cumulative_trapezoid

import srs_reference

build = sys.argv[1] if len(sys.argv) > 1 else "build"
cli = os.path.join(build, "cli", "korvex-cli")
ok = True


def run(args):
    return subprocess.run([cli, *args], check=True, capture_output=True).stdout.decode()


def table(text):
    return np.loadtxt(text.splitlines(), comments="#", ndmin=2)


def worst(got, want, floor=0.0):
    got, want = np.asarray(got, float), np.asarray(want, float)
    return float(np.max(np.abs(got - want) / np.maximum(np.abs(want), floor + 1e-300)))


def report(name, errors, limit):
    global ok
    bad = {k: v for k, v in errors.items() if not v <= limit}
    ok &= not bad
    text = ", ".join(f"{k} {v:.1e}" for k, v in errors.items())
    print(f"  {name:38} {text}  {'agree' if not bad else 'DIFFER'}")


# A measured-looking shock: a 50 g, 11 ms half-sine 20 ms into a 100 ms record
# at 20 kHz, with noise, values rounded as a logger writes them.
rng = np.random.default_rng(1919)
fs = 20000
t = np.round(np.arange(2000) / fs, 6)
s = t - 0.02
a = np.where((s >= 0) & (s <= 0.011), 50 * np.sin(np.pi * s / 0.011), 0.0)
a = np.round(a + rng.normal(0, 0.4, t.size), 4)
dt = (t[-1] - t[0]) / (t.size - 1)


def lines(sep, fmt=lambda x: repr(float(x)), header=None, end="\n", bom=False, ms=False):
    out = ("\ufeff" if bom else "") + ("# a comment line\n% another\n" if header else "")
    if header:
        out += header + end
    for ti, ai in zip(t, a):
        out += sep.join([fmt(ti * 1000 if ms else ti), fmt(ai)]) + end
    return out


def continuous_peaks(x, step, freqs, q, kind):
    """Peaks at the samples of z'' + 2 zeta w z' + w^2 z = -x(t), x linear
    between samples, from rest at t = -step, solved exactly one interval at a
    time (a line plus a decaying cosine), then freely after the record until
    e^-40: the mass's absolute acceleration -(2 zeta w z' + w^2 z), w z, or z."""
    L = np.longdouble
    w = 2 * np.pi * np.asarray(freqs, dtype=L)
    zeta = L(1) / (2 * L(q))
    sigma, wd = zeta * w, w * np.sqrt(1 - zeta * zeta)
    T = L(step)
    decay, c, s = np.exp(-sigma * T), np.cos(wd * T), np.sin(wd * T)
    z = np.zeros_like(w)
    v = np.zeros_like(w)
    previous = L(0)
    pos, neg = np.full(w.shape, -np.inf, dtype=L), np.full(w.shape, -np.inf, dtype=L)

    def out(z, v):
        if kind == "acceleration":
            return -(2 * sigma * v + w * w * z)
        return w * z if kind == "pseudo-velocity" else z

    for now in list(x) + [0.0]:
        p, slope = previous, (L(now) - previous) / T
        beta = -slope / (w * w)
        alpha = (-p - 2 * sigma * beta) / (w * w)
        c1 = z - alpha
        c2 = (v - beta + sigma * c1) / wd
        z = alpha + beta * T + decay * (c1 * c + c2 * s)
        v = beta + decay * ((-sigma * c1 + wd * c2) * c + (-sigma * c2 - wd * c1) * s)
        previous = L(now)
        y = out(z, v)
        pos, neg = np.maximum(pos, y), np.maximum(neg, -y)
    # Free vibration from the state after the last ramp to zero.
    for i in range(len(w)):
        k = np.arange(1, int(40 / (sigma[i] * T)) + 1, dtype=L) * T
        e = np.exp(-sigma[i] * k)
        c1, c2 = z[i], (v[i] + sigma[i] * z[i]) / wd[i]
        zk = e * (c1 * np.cos(wd[i] * k) + c2 * np.sin(wd[i] * k))
        vk = e * ((-sigma[i] * c1 + wd[i] * c2) * np.cos(wd[i] * k)
                  + (-sigma[i] * c2 - wd[i] * c1) * np.sin(wd[i] * k))
        y = (-(2 * sigma[i] * vk + w[i] * w[i] * zk) if kind == "acceleration"
             else w[i] * zk if kind == "pseudo-velocity" else zk)
        pos[i], neg[i] = max(pos[i], y.max()), max(neg[i], (-y).max())
    return np.column_stack([pos, neg]).astype(float)


formats = {
    "korvex's own lines": (
        "".join(f" {ti:14.6e} \t {ai:12.4e} \r\n".replace("e-0", "e-00").replace("e+0", "e+00")
                for ti, ai in zip(t, a)), []),
    "comma, header, comments": (lines(",", header="time,accel"), ["--column", "accel"]),
    "semicolon, decimal comma, CR LF": (
        lines(";", fmt=lambda x: repr(float(x)).replace(".", ","), header="t;a", end="\r\n"), []),
    "tab, byte-order mark": (lines("\t", bom=True), []),
    "blanks, times in ms": (lines("  ", ms=True), ["--time-unit", "ms"]),
    "no time column": ("".join(f"{ai!r}\n" for ai in a),
                       ["--time-column", "none", "--rate", str(fs), "--column", "1"]),
}

print("one record in every format (figures against numpy, spectrum against lfilter):")
want_srs = srs_reference.srs(a, dt, 10, 10, 2000, 6, free=True)
with tempfile.TemporaryDirectory() as tmp:
    for name, (text, options) in formats.items():
        path = os.path.join(tmp, "record.txt")
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(text)
        summary = json.loads(run(["analyse", path, "--summary", "-", *options]))
        got_srs = table(run(["analyse", path, "--srs", "-", "--srs-to", "2000",
                             "--srs-per-octave", "6", *options]))
        peak = int(np.argmax(np.abs(a)))
        values = a if name != "korvex's own lines" else np.array(
            [float(f"{ai:.4e}") for ai in a])
        errors = {
            "samples": abs(summary["samples"] - t.size),
            "peak": worst(summary["peak_amplitude"], values[peak]),
            "velocity": worst(summary["velocity_change"], np.trapz(values, dx=dt)),
            "mean": worst(summary["mean"], values.mean()),
            "rms": worst(summary["rms"], np.sqrt(np.mean(values ** 2))),
            "spectrum": worst(got_srs[:, 1:], srs_reference.srs(values, dt, 10, 10, 2000, 6,
                                                                 free=True)[:, 1:]),
        }
        report(name, errors, 1e-9)

    print("spectrum kinds (the continuous system solved exactly, numpy long double):")
    path = os.path.join(tmp, "record.csv")
    with open(path, "w") as f:
        f.write(lines(","))
    for kind in ("acceleration", "pseudo-velocity", "displacement"):
        got = table(run(["analyse", path, "--srs", "-", "--srs-kind", kind, "--srs-to", "2000",
                         "--srs-per-octave", "3", "--srs-q", "10"]))
        want = continuous_peaks(a, dt, got[:, 0], 10.0, kind)
        report(kind, {"peaks": worst(got[:, 1:3], want)}, 1e-9)

    print("compensated pulses (scipy's cumulative trapezoid of the written samples):")
    for shape, p, rate in (("half-sine", 0.2, 10), ("half-sine", 1.0, 50),
                           ("terminal-sawtooth", 0.2, 10), ("terminal-sawtooth", 0.5, 20)):
        args = ["--shape", shape, "--amplitude", "50", "--pulse-duration", "11",
                "--total-duration", "300", "--sample-rate", str(rate), "--compensation", str(p),
                "--amplitude-unit", "g"]
        summary = json.loads(run(args + ["--summary", "-"]))
        motion = table(run(args + ["--motion", "-"]))
        step = 1e-3 / rate
        acc = motion[:, 1] * 9.80665
        v = cumulative_trapezoid(acc, dx=step, initial=0)
        x = cumulative_trapezoid(v, dx=step, initial=0) * 1000
        vi, xi = int(np.argmax(np.abs(v))), int(np.argmax(np.abs(x)))
        errors = {
            "table": max(worst(motion[:, 2], v, np.abs(v).max()),
                         worst(motion[:, 3], x, np.abs(x).max())),
            "peaks": max(worst(summary["peak_velocity_m_s"], v[vi]),
                         worst(summary["peak_displacement_mm"], x[xi]),
                         worst(summary["displacement_peak_to_peak_mm"], x.max() - min(x.min(), 0))),
            "at rest": max(abs(v[-1]) / abs(v[vi]), abs(x[-1]) / abs(x[xi])),
        }
        report(f"{shape}, P {p}, {rate} samples/ms", errors, 1e-9)

print("all agree" if ok else "SOME DIFFER")
sys.exit(0 if ok else 1)
