#!/usr/bin/env bash
# Builds the fuzz targets (clang, address + undefined-behaviour sanitizers) in build-fuzz
# and runs each from its seed corpus in fuzz/corpus/<name>/ for SECONDS seconds (default
# 60). Any finding fails: its input is kept as build-fuzz/findings/fuzz_<name>-*.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
bash scripts/install-deps.sh clang-14 libclang-rt-14-dev

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DFERRY_FUZZ=ON -DFERRY_SANITIZE=ON \
    -DFERRY_WITH_GUI=OFF -DFERRY_BUILD_TESTS=OFF -DFERRY_BUILD_BENCH=OFF
cmake --build build-fuzz -j "$(nproc)"

# fuzz_engine makes and removes folders for every input: in memory it runs ten times as
# fast as on disk.
base="${TMPDIR:-/tmp}"
if [[ -d /dev/shm && -w /dev/shm ]]; then base=/dev/shm; fi
scratch=$(mktemp -d "$base/ferry-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p build-fuzz/findings

for corpus in fuzz/corpus/*/; do
    name=$(basename "$corpus")
    mkdir -p "$scratch/$name"
    echo "fuzz_$name: $seconds s from $corpus"
    # New inputs go to the scratch folder; the seed corpus stays as committed.
    TMPDIR="$scratch" "build-fuzz/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=30 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/findings/fuzz_$name-" \
        "$scratch/$name" "$corpus"
done
