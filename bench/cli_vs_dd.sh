#!/usr/bin/env bash
# End to end: korvex-cli writing the full 2,000,000-sample file (66,000,000
# bytes) against dd writing as many bytes and against a numpy script, in the
# same run (numpy from Debian's python3-numpy, hence /usr/bin/python3).
# Prints medians and the ratios.
# Usage: bench/cli_vs_dd.sh [build dir] [runs] [folder to write in, default a new one in $TMPDIR]
# (a tmpfs folder, such as /dev/shm, takes the disk out of the comparison).
#
# Two figures for korvex-cli against dd. "Returns" times each until it exits,
# in blocks of runs. Each leaves its bytes on their way to the disk and the
# next run of the same command pays for the ones before: dd when it truncates
# its old file, korvex-cli when its rename frees the file it replaces. "On
# disk" alternates the two strictly and times each until `sync FILE` has its
# bytes stored, so neither pays for the other's.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-9}
cli="$build/cli/korvex-cli"
tmp=$(mktemp -d -p "${3:-${TMPDIR:-/tmp}}")
trap 'rm -rf "$tmp"' EXIT

korvex() {
  "$cli" --unit s --amplitude 1 --pulse-duration 0.011 --total-duration 200 \
    --sample-rate 10000 --output "$tmp/korvex.txt"
}
ddfile() { dd if=/dev/zero of="$tmp/dd.bin" bs=1000000 count=66 status=none; }
korvex_disk() { korvex && sync "$tmp/korvex.txt"; }
dd_disk() { ddfile && sync "$tmp/dd.bin"; }
numpyfile() { /usr/bin/python3 bench/numpy_pulse.py "$tmp/numpy.txt"; }

# Wall time of one call of a function, in microseconds.
time_us() {
  local start end
  start=$(date +%s%N)
  "$1"
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}

# Median of microsecond figures on standard input, in milliseconds.
median() { sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)]/1000}'; }

# Median wall time of a function over N runs, in milliseconds, after one warm-up.
median_ms() {
  local fn=$1 n=$2 times=()
  "$fn"
  for ((i = 0; i < n; i++)); do times+=("$(time_us "$fn")"); done
  printf '%s\n' "${times[@]}" | median
}

k=0 d=0
kt=() dt=()
for ((r = 0; r < 3; r++)); do  # interleave rounds so drift hits both alike
  kt+=("$(median_ms korvex "$runs")")
  dt+=("$(median_ms ddfile "$runs")")
done
k=$(printf '%s\n' "${kt[@]}" | sort -n | sed -n 2p)
d=$(printf '%s\n' "${dt[@]}" | sort -n | sed -n 2p)
kdt=() ddt=()
korvex_disk && dd_disk
for ((i = 0; i < 2 * runs; i++)); do
  kdt+=("$(time_us korvex_disk)")
  ddt+=("$(time_us dd_disk)")
done
kdisk=$(printf '%s\n' "${kdt[@]}" | median)
ddisk=$(printf '%s\n' "${ddt[@]}" | median)
n=$(median_ms numpyfile 3)

if cmp -s "$tmp/korvex.txt" "$tmp/numpy.txt"; then same=identical; else same=DIFFERENT; fi
echo "korvex-cli  : $k ms returns, $kdisk ms on disk  ($(stat -c %s "$tmp/korvex.txt") bytes)"
echo "dd          : $d ms returns, $ddisk ms on disk"
echo "numpy       : $n ms  (file $same to korvex-cli's)"
awk -v k="$k" -v d="$d" -v kdisk="$kdisk" -v ddisk="$ddisk" -v n="$n" 'BEGIN {
  printf "korvex-cli / dd    = %.2fx returns, %.2fx on disk (goal <= 1.2)\n", k / d, kdisk / ddisk
  printf "numpy / korvex-cli = %.0fx (goal >= 60)\n", n / k }'
