#!/usr/bin/env bash
# Installs the Debian packages Ferryman builds, tests and runs with, when missing.
# Packages named as arguments are installed as well (what one script alone needs).
set -euo pipefail

packages=(
    cmake make g++ pkg-config
    libgtest-dev libgmock-dev
    libucl-dev libsqlite3-dev
    rsync  # bench_sync compares with it
    tzdata git  # the command line's tests run machines in other zones and carry a git copy
    qt6-base-dev
    xvfb xauth
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} > 0)); then
    sudo=""
    if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
