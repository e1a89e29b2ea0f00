#!/usr/bin/env bash
# Cross-builds ferryman-cli.exe and the engine's tests for 64-bit Windows with mingw-w64
# and runs them under wine64 (run through scripts/test.sh windows). libucl is built from
# Debian's source package, fetched once into the build folder; GoogleTest from the
# googletest package's sources. Wine keeps its prefix in the build folder and needs no
# display. The Windows-and-Linux carry test also builds the Linux ferryman-cli
# (folder build-nogui).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh mingw-w64 wine64 googletest dpkg-dev
bash scripts/check-layout.sh

build=build-windows
if [[ ! -d $build/libucl/source ]]; then
    bash scripts/fetch-libucl-source.sh "$build/libucl"
fi

cmake -S . -B build-nogui -DFERRY_WITH_GUI=OFF -DFERRY_BUILD_BENCH=OFF
cmake --build build-nogui --target ferryman-cli -j "$(nproc)"

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DFERRY_WITH_GUI=OFF -DFERRY_BUILD_BENCH=OFF \
    -DFERRY_LINUX_CLI="$PWD/build-nogui/cli/ferryman-cli"
cmake --build "$build" -j "$(nproc)"

export WINEPREFIX="$PWD/$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# The first start makes the prefix; done here so no test pays for it within its time.
/usr/lib/wine/wine64 wineboot --init
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
/usr/lib/wine/wineserver -k || true
