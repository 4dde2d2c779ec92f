#!/usr/bin/env bash
# Renders the menu icons from res/icons/korvex.svg (rsvg-convert, from Debian's
# librsvg2-bin). The 16 and 32 pixel images are drawn by hand in 16 colours
# and are not rendered.
set -euo pipefail
cd "$(dirname "$0")/../res/icons"
for size in 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" korvex.svg -o "korvex-$size.png"
done
