#!/usr/bin/env bash
# CI: builds the Debian package (scripts/package.sh) and checks it as a user would get it:
# its desktop entry, metadata, icons, versions and lintian, then installs it on this
# machine with apt-get, runs the installed programs and removes it again. Needs root (or
# sudo) for the install.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh lintian desktop-file-utils appstream man-db librsvg2-bin
bash scripts/package.sh
debs=(build-package/ferryman_*.deb)
deb="./${debs[0]}"
id=org.zephyrant.Ferryman
work=$(mktemp -d /tmp/ferryman-package.XXXX)
trap 'rm -rf "$work"' EXIT
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
fail() { echo "check-package: $*" >&2; exit 1; }
# apt-get, its output shown only when it fails.
apt_get() {
    DEBIAN_FRONTEND=noninteractive $sudo apt-get "$@" >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log"; fail "apt-get $*"; }
}

echo "== the sources: desktop entry, metadata, icons in step with the SVG"
desktop-file-validate "packaging/$id.desktop"
appstreamcli validate --no-net "packaging/$id.metainfo.xml"
bash scripts/make-icons.sh "$work/icons" >/dev/null
for png in "$work"/icons/*.png; do
    cmp -s "$png" "packaging/icons/${png##*/}" ||
        fail "packaging/icons/${png##*/} is not what scripts/make-icons.sh makes of the SVG"
done

echo "== one version everywhere"
version=$(dpkg-deb -f "$deb" Version)
changelog=$(dpkg-parsechangelog -l packaging/changelog -S Version)
release=$(grep -o -m1 '<release version="[^"]*"' "packaging/$id.metainfo.xml" | cut -d'"' -f2)
[[ "$changelog" == "$version" && "$release" == "$version" ]] ||
    fail "package $version, packaging/changelog $changelog, metainfo release $release"

echo "== lintian"
lintian --fail-on error "$deb"

echo "== installed with apt-get"
apt_get install -y --reinstall "$deb"
[[ $(command -v ferryman-cli) == /usr/bin/ferryman-cli ]] || fail "ferryman-cli is not /usr/bin's"
[[ $(ferryman-cli --version) == "ferryman-cli $version" ]] || fail "ferryman-cli --version"
[[ $(man -w ferryman-cli) == /usr/share/man/man1/ferryman-cli.1.gz ]] || fail "man -w ferryman-cli"
[[ -z $(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings ferryman-cli 2>&1 >/dev/null) ]] ||
    fail "man ferryman-cli warns"
man -w ferryman >/dev/null
desktop-file-validate "/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "/usr/share/metainfo/$id.metainfo.xml"
for size in 16x16 32x32 48x48 64x64 128x128 256x256; do
    [[ -f "/usr/share/icons/hicolor/$size/apps/$id.png" ]] || fail "no $size icon"
done
[[ -f "/usr/share/icons/hicolor/scalable/apps/$id.svg" ]] || fail "no scalable icon"

echo "== the installed window comes up (offscreen) and keeps running"
status=0
HOME="$work" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen \
    timeout 5 /usr/bin/ferryman >"$work/window.log" 2>&1 || status=$?
cat "$work/window.log"
[[ $status -eq 124 ]] || fail "the window ended by itself within 5 s (status $status)"

echo "== removed"
apt_get remove -y ferryman
[[ ! -e /usr/bin/ferryman && ! -e /usr/bin/ferryman-cli ]] || fail "programs left after removal"
echo "check-package: $deb installs, runs and removes"
