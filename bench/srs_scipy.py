"""korvex-cli's figures and shock response spectrum against an independent
numpy/scipy computation of the same pulses (coefficients computed here,
scipy.signal.lfilter per frequency, np.trapz), and the time of both on the
capped 2,000,000-sample record, in the same run.

Usage: /usr/bin/python3 bench/srs_scipy.py [build dir] [runs]
(numpy and scipy from Debian's python3-numpy and python3-scipy)."""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np
from srs_reference import srs

build = sys.argv[1] if len(sys.argv) > 1 else "build"
cli = f"{build}/cli/korvex-cli"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5


def series(shape, unit, amplitude, pulse, total, rate):
    dt = 1.0 / rate
    span = total if total >= pulse else pulse
    n = min(int(span / dt), 2_000_000)
    t = np.arange(n, dtype=np.float64) * dt
    a = np.zeros(n)
    inside = ~(t > pulse)
    if shape == "half-sine":
        a[inside] = amplitude * np.sin((t[inside] * np.pi) / pulse)
    else:
        a[inside] = (t[inside] * amplitude) / pulse
    scale = 0.001 if unit == "ms" else 1.0
    return t * scale, a, dt * scale


def run_cli(args):
    out = subprocess.run([cli, *args], check=True, capture_output=True, text=True).stdout
    return out


def cli_args(shape, unit, amplitude, pulse, total, rate):
    return ["--shape", shape, "--unit", unit, "--amplitude", str(amplitude),
            "--pulse-duration", str(pulse), "--total-duration", str(total),
            "--sample-rate", str(rate)]


def worst_relative(x, y):
    x, y = np.asarray(x, float), np.asarray(y, float)
    return float(np.max(np.abs(x - y) / np.maximum(np.abs(y), 1e-300)))


cases = [
    # the capped record, defaults: 10 Hz to 1 kHz, Q 10, 12 per octave
    (("half-sine", "s", 1, 0.011, 200, 10000), (10, 10, None, 12)),
    # a negative terminal sawtooth in milliseconds, other settings
    (("terminal-sawtooth", "ms", -50, 6, 30, 20), (5, 20, 2000, 6)),
    # a record that ends while the systems still ring
    (("half-sine", "s", 2.5, 0.011, 0.015, 51200), (25, 5, 20000, 3)),
]

print("agreement with numpy/scipy (largest relative difference):")
for inputs, (q, f_from, f_to, n) in cases:
    t, a, interval = series(*inputs)
    f_to_used = f_to if f_to is not None else (1 / interval) / 10
    want = srs(a, interval, q, f_from, f_to_used, n, free=True)
    srs_args = ["--srs", "-", "--srs-q", str(q), "--srs-from", str(f_from),
                "--srs-per-octave", str(n)] + (["--srs-to", str(f_to)] if f_to else [])
    got = np.loadtxt(run_cli(cli_args(*inputs) + srs_args).splitlines(), comments="#", ndmin=2)
    summary = json.loads(run_cli(cli_args(*inputs) + ["--summary", "-"]))
    peak = a[np.argmax(np.abs(a))]
    assert got.shape == want.shape, (got.shape, want.shape)
    print(f"  {inputs[0]:17} {inputs[1]:2} {len(a):8} samples, {len(want):3} frequencies: "
          f"frequencies {worst_relative(got[:, 0], want[:, 0]):.1e}, "
          f"peaks {worst_relative(got[:, 1:], want[:, 1:]):.1e}, "
          f"peak {worst_relative(summary['peak_amplitude'], peak):.1e}, "
          f"velocity change {worst_relative(summary['velocity_change'], np.trapz(a, dx=interval)):.1e}")

t, a, interval = series("half-sine", "s", 1, 0.011, 200, 10000)
lfilter_times = []
for _ in range(max(1, runs // 2)):
    start = time.perf_counter()
    srs(a, interval, 10, 10, 1000, 12)
    lfilter_times.append(time.perf_counter() - start)
cli_times = []
args = cli_args("half-sine", "s", 1, 0.011, 200, 10000) + ["--srs", "-"]
run_cli(args)
for _ in range(runs * 4):
    start = time.perf_counter()
    run_cli(args)
    cli_times.append(time.perf_counter() - start)
# The spectrum alone, in korvex's own process: Google Benchmark's median.
bench = subprocess.run([f"{build}/bench/pulse_bench", "--benchmark_filter=BM_ShockSpectrumRingDown/0",
                        f"--benchmark_repetitions={runs}", "--benchmark_format=json"],
                       check=True, capture_output=True, text=True).stdout
core = [b for b in json.loads(bench)["benchmarks"] if b.get("aggregate_name") == "median"][0]
kk = core["real_time"] / 1000  # ms to s
lf, kc = statistics.median(lfilter_times), statistics.median(cli_times)
print("2,000,000 samples, 80 frequencies (medians):")
print(f"  scipy lfilter, filtering only        : {lf * 1000:8.1f} ms")
print(f"  korvex spectrum alone (pulse_bench)  : {kk * 1000:8.2f} ms   lfilter / korvex = {lf / kk:.0f}x")
print(f"  korvex-cli --srs, whole process      : {kc * 1000:8.1f} ms   lfilter / korvex-cli = {lf / kc:.0f}x")
print("  (goal >= 1000x for the spectrum alone)")

# Noise: nothing rings down early, so every filter runs over every sample.
rng = np.random.default_rng(19)
noise = rng.standard_normal(2_000_000)
lfilter_noise = []
for _ in range(max(1, runs // 2)):
    start = time.perf_counter()
    want = srs(noise, 1e-4, 10, 10, 1000, 12)
    lfilter_noise.append(time.perf_counter() - start)
bench = subprocess.run([f"{build}/bench/pulse_bench", "--benchmark_filter=BM_ShockSpectrumNoise/0",
                        f"--benchmark_repetitions={runs}", "--benchmark_format=json"],
                       check=True, capture_output=True, text=True).stdout
core = [b for b in json.loads(bench)["benchmarks"] if b.get("aggregate_name") == "median"][0]
kn = core["real_time"] / 1000
with tempfile.TemporaryDirectory() as tmp:
    path = f"{tmp}/noise.txt"
    with open(path, "w") as f:
        f.write("".join(f"{v!r}\n" for v in noise.tolist()))
    args = ["analyse", path, "--time-column", "none", "--rate", "10000", "--column", "1",
            "--srs", "-"]
    got = np.loadtxt(run_cli(args).splitlines(), comments="#", ndmin=2)
    ref = srs(noise, 1e-4, 10, 10, 1000, 12, free=True)
    cli_noise = []
    for _ in range(runs):
        start = time.perf_counter()
        run_cli(args)
        cli_noise.append(time.perf_counter() - start)
lfn, kcn = statistics.median(lfilter_noise), statistics.median(cli_noise)
print("2,000,000 samples of noise, 80 frequencies (medians):")
print(f"  agreement with lfilter (free vibration included): peaks {worst_relative(got[:, 1:], ref[:, 1:]):.1e}")
print(f"  scipy lfilter, filtering only        : {lfn * 1000:8.1f} ms")
print(f"  korvex spectrum alone, both cores    : {kn * 1000:8.2f} ms   lfilter / korvex = {lfn / kn:.0f}x (goal >= 25x)")
print(f"  korvex-cli analyse --srs, whole      : {kcn * 1000:8.1f} ms   lfilter / korvex-cli = {lfn / kcn:.0f}x")
print("  (the whole process also reads the 2,000,000-line text file)")
