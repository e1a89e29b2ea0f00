#!/usr/bin/env bash
# Builds Ferryman and starts it. Needs a desktop session (or Xvfb and DISPLAY).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build
cmake --build build -j "$(nproc)" --target ferryman
exec ./build/ui/ferryman
