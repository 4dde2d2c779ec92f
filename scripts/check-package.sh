#!/usr/bin/env bash
# Checks a built package the way a Debian user would meet it: lintian (no
# errors), the menu entry and AppStream validators, then a real install with
# apt, the programs on PATH and the manuals in man, and removal again.
# Needs root (or sudo) for the install. Usage: scripts/check-package.sh DEB
set -euo pipefail
deb=$(realpath "$1")
cd "$(dirname "$0")/.."
scripts/deps.sh --package
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

lintian --fail-on error "$deb"
desktop-file-validate res/org.korvex.korvex.desktop
appstreamcli validate --no-net res/org.korvex.korvex.metainfo.xml

DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "$deb" >/dev/null
trap 'DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get remove -y -qq korvex >/dev/null' EXIT
for program in korvex korvex-cli; do
  command -v "$program" >/dev/null || { echo "check-package: $program is not on PATH" >&2; exit 1; }
  man -w "$program" >/dev/null
done
desktop-file-validate /usr/share/applications/org.korvex.korvex.desktop
[ -f /usr/share/icons/hicolor/scalable/apps/org.korvex.korvex.svg ]
korvex-cli --unit s --amplitude 1 --pulse-duration 0.011 --total-duration 0.1 \
  --sample-rate 10000 --summary - | grep -q '"samples": 1000'
echo "check-package: $(basename "$deb") passes"
