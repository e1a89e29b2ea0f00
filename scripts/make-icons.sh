#!/usr/bin/env bash
# Makes the icon's PNGs (16 to 256 pixels) from packaging/icons/org.zephyrant.Ferryman.svg
# with rsvg-convert, into packaging/icons/ or the folder given. Rerun it after changing the
# SVG and commit the PNGs; scripts/check-package.sh makes them again and compares.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh librsvg2-bin
out="${1:-packaging/icons}"
mkdir -p "$out"
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" packaging/icons/org.zephyrant.Ferryman.svg \
        -o "$out/${size}x${size}.png"
done
echo "icons written to $out"
