#!/usr/bin/env bash
# Builds Ferryman and starts it. Needs a desktop session (or Xvfb and DISPLAY).
set -euo pipefail
cd "$(dirname "$0")/.."

# xdg-utils opens project folders in the file manager; Liberation Sans stands in for
# Arial with the same widths, so captions fit their buttons.
bash scripts/install-deps.sh xdg-utils fonts-liberation2
cmake -S . -B build
cmake --build build -j "$(nproc)" --target ferryman
exec ./build/ui/ferryman
