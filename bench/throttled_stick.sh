#!/usr/bin/env bash
# Runs bench_sync with its media on a simulated USB stick: an ext4 image on a loop device,
# throttled by the blkio cgroup to 30 MiB/s read and 10 MiB/s write, with the page cache
# dropped before every run. On such a medium the figures are steady where wall times on a
# shared machine are not. Needs root, a free loop device and the blkio controller (cgroup
# v1, or v2's io controller).
#
#     bench/throttled_stick.sh [BUILD_FOLDER] [bench_sync options, e.g. --tree DIR]
set -euo pipefail
build="${1:-build}"
shift || true
bench="$(realpath "$build/bench/bench_sync")"

image="$(mktemp /var/tmp/ferry-stick-XXXXXX.img)"
mountpoint="$(mktemp -d /tmp/ferry-stick-XXXXXX)"
loop=""
group=""
cleanup() {
    if mountpoint -q "$mountpoint"; then umount "$mountpoint"; fi
    if [[ -n $loop ]]; then losetup -d "$loop"; fi
    if [[ -n $group ]]; then rmdir "$group" 2>/dev/null || true; fi
    rm -f "$image"
    rmdir "$mountpoint"
}
trap cleanup EXIT

truncate -s 3G "$image"
mkfs.ext4 -q -F "$image"
loop="$(losetup -f --show "$image")"
mount "$loop" "$mountpoint"
device="$(($(stat -c '0x%t' "$loop"))):$(($(stat -c '0x%T' "$loop")))"
read_bps=$((30 * 1024 * 1024))
write_bps=$((10 * 1024 * 1024))

if [[ -d /sys/fs/cgroup/blkio ]]; then
    group=/sys/fs/cgroup/blkio/ferry-stick
    mkdir -p "$group"
    echo "$device $read_bps" >"$group/blkio.throttle.read_bps_device"
    echo "$device $write_bps" >"$group/blkio.throttle.write_bps_device"
else
    group=/sys/fs/cgroup/ferry-stick
    echo +io >/sys/fs/cgroup/cgroup.subtree_control
    mkdir -p "$group"
    echo "$device rbps=$read_bps wbps=$write_bps" >"$group/io.max"
fi
echo "stick: $loop ($device) at $mountpoint, read $read_bps B/s, write $write_bps B/s"

# The benchmark and every child it starts run in the throttled group.
sh -c 'echo $$ > "$0/cgroup.procs" && shift && exec "$@"' "$group" _ \
    "$bench" "$@" --medium "$mountpoint" --cold
