#!/usr/bin/env bash
# Builds korvex (Release, with Debian's hardening flags) and leaves
# korvex_<version>_<arch>.deb in OUTDIR. Usage: scripts/package.sh OUTDIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 OUTDIR" >&2; exit 2; }
cd "$(dirname "$0")/.."
root=$PWD
mkdir -p "$1"
out=$(cd "$1" && pwd)

scripts/deps.sh --package
build=build-package
# dpkg-buildflags: the flags every Debian package is built with (hardening,
# -O2); korvex adds -ffp-contract=off to its core itself.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVEX_BUILD_TESTS=OFF \
  -DKORVEX_BUILD_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build" -j2
(cd "$build" && cpack -G DEB -B "$root/$build/cpack" >/dev/null)
deb=$(ls "$build"/cpack/korvex_*.deb)
cp "$deb" "$out/"
echo "$out/$(basename "$deb")"
