#!/usr/bin/env bash
# Builds Ferryman and runs every test. "scripts/test.sh sanitize" does the same in an
# address + undefined-behaviour sanitizer build (folder build-sanitize); "scripts/test.sh
# nogui" builds and tests the engine and ferryman-cli with the window layer switched off
# (folder build-nogui), so nothing outside the window program can come to need Qt;
# "scripts/test.sh windows" cross-builds ferryman-cli.exe and the engine's tests for
# Windows (folder build-windows) and runs them under Wine (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

mode="${1:-plain}"
if [[ $mode == windows ]]; then exec bash scripts/test-windows.sh; fi

bash scripts/install-deps.sh
bash scripts/check-layout.sh

case "$mode" in
    plain) build=build; options=() ;;
    sanitize) build=build-sanitize; options=(-DFERRY_SANITIZE=ON -DFERRY_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug) ;;
    nogui) build=build-nogui; options=(-DFERRY_WITH_GUI=OFF -DFERRY_BUILD_BENCH=OFF) ;;
    *) echo "usage: scripts/test.sh [plain|sanitize|nogui|windows]" >&2; exit 2 ;;
esac

cmake -S . -B "$build" "${options[@]}"
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
