#!/usr/bin/env bash
# Builds the Debian package build-package/ferryman_VERSION_ARCH.deb: a release build of
# both programs with Debian's hardening flags, packed by CPack with the dependencies
# dpkg-shlibdeps finds. Install it with: sudo apt install ./build-package/ferryman_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

# dpkg-dev: dpkg-shlibdeps and dpkg-buildflags; file: CPack finds the programs with it.
bash scripts/install-deps.sh dpkg-dev file
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DFERRY_BUILD_TESTS=OFF -DFERRY_BUILD_BENCH=OFF \
    -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)"
cmake --build build-package -j "$(nproc)"
rm -f build-package/ferryman_*.deb
(cd build-package && cpack -G DEB)
ls build-package/ferryman_*.deb
