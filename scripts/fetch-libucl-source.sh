#!/usr/bin/env bash
# Fetches Debian's source package of libucl, the version installed here, into
# .cache/libucl/source (or the folder given), so that the fuzz build can compile the
# decoder with the fuzzer's instrumentation. The source stays out of the repository.
#
# apt-get needs a deb-src line: the script keeps one, with its own package lists, in the
# target folder, and leaves the system's apt configuration alone. Needs network access.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-$here/.cache/libucl}
version=$(dpkg-query -W -f='${Version}' libucl-dev)
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")

mkdir -p "$target/apt/lists/partial" "$target/download"
target=$(cd "$target" && pwd)
echo "deb-src http://deb.debian.org/debian $suite main" >"$target/apt/sources.list"
apt_options=(
    -q
    -o "Dir::Etc::SourceList=$target/apt/sources.list"
    -o "Dir::Etc::SourceParts=/dev/null"
    -o "Dir::State::Lists=$target/apt/lists"
)

apt-get "${apt_options[@]}" update
rm -rf "$target/download"/* "$target/source"
(cd "$target/download" && apt-get "${apt_options[@]}" source "ucl=$version")
mv "$target/download"/ucl-*/ "$target/source"
echo "libucl $version source in $target/source"
