#!/usr/bin/env bash
# Installs what korvex needs to build, test and run on Debian 12, skipping
# the package manager when everything is already there. --package adds the
# tools that build and check the Debian package; --fuzz, clang and its
# libFuzzer for scripts/fuzz.sh.
set -euo pipefail

packages=(
  cmake g++ make pkg-config clang-format
  qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libgl-dev libcli11-dev nlohmann-json3-dev
  libfast-float-dev libmatio-dev libsndfile1-dev libfftw3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-wayland fonts-dejavu-core
  locales xvfb xauth python3-numpy python3-scipy python3-pandas help2man
)
if [ "${1:-}" = "--package" ]; then
  packages+=(dpkg-dev file lintian desktop-file-utils appstream man-db)
elif [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

if [ ${#missing[@]} -gt 0 ]; then
  echo "korvex: installing ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

# The formatter is tested under a comma-decimal locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  "${sudo[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
