#!/usr/bin/env bash
# Sets up, builds and starts the korvex dialog.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j2 --target korvex korvex-cli

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
korvex: there is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the
dialog cannot open. Either run it on a virtual display:
    xvfb-run -a build/ui/korvex
or use the command-line front end, which writes the same files:
    build/cli/korvex-cli --help
MSG
  exit 1
fi
exec build/ui/korvex
