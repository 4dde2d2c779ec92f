#!/usr/bin/env bash
# The whole check of a 2,000,000-sample record against `analyse --summary`
# of the same file, in the same run: a good record, noise alone, an inverted
# record, a pulse at the record's first sample, and a 60 s nominal pulse.
# The check should stay within twice analyse's time in every case.
# Usage: bench/check_vs_analyse.sh [build dir] [runs] [folder for the records]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
cli="$build/cli/korvex-cli"
dir=${3:-$(mktemp -d)}
[ -f "$dir/long.txt" ] || /usr/bin/python3 bench/check_records.py "$dir"

# The median wall time of `runs` runs, after one not counted.
median() {
  local times=()
  "$@" >/dev/null 2>&1 || true
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc)")
  done
  printf '%s\n' "${times[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p"
}

short=(--amplitude 50 --pulse-duration 11 --report /dev/null)
long=(--amplitude 50 --pulse-duration 60 --unit s --window-after 0.5 --report /dev/null)
printf '%-10s %10s %10s %7s\n' record check_s analyse_s ratio
for name in good noise inverted at-start long; do
  if [ "$name" = long ]; then args=("${long[@]}"); else args=("${short[@]}"); fi
  c=$(median "$cli" check "$dir/$name.txt" "${args[@]}")
  a=$(median "$cli" analyse "$dir/$name.txt" --summary /dev/null)
  printf '%-10s %10.3f %10.3f %7.2f\n' "$name" "$c" "$a" "$(echo "$c / $a" | bc -l)"
done
