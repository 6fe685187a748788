#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Times telltale-scan --image on a 1 GiB ext4 image full of files against a
# plain scan of the same image as one file, in one hyperfine run; then the
# same image as an E01 of fast compression: its time against the raw image's,
# and the peak resident memory of each.
# Usage: bench/disk_image_bench.sh [path/to/telltale-scan]   (default: build/cli/telltale-scan)
# Needs hyperfine, mke2fs, ewfacquire, python3 and GNU time, and about 3 GiB
# free in $TMPDIR (or /tmp); everything it makes is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

scanner=$(realpath "${1:-build/cli/telltale-scan}")
runs=${TELLTALE_BENCH_RUNS:-5}
export PATH=$PATH:/usr/sbin:/sbin
for tool in hyperfine mke2fs ewfacquire python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "disk_image_bench.sh: $tool is missing" >&2; exit 2; }
done
case $("$scanner" --image /dev/null 2>&1 || true) in
  *'needs a build'*) echo "disk_image_bench.sh: $scanner reads no disk images" >&2; exit 2 ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
echo "Making the image in $work ..."
# 3,200 files of 256 KiB of random bytes in 32 folders (800 MiB), a few
# with a marker more, in an ext4 image of 1 GiB.
python3 - "$work/tree" <<'PY'
import os, sys
top = sys.argv[1]
for folder in range(32):
    os.makedirs(f"{top}/{folder:02d}")
    for n in range(100):
        data = bytearray(os.urandom(256 << 10))
        if n % 10 == 0:
            data[1000:1003] = b"CDN"
        open(f"{top}/{folder:02d}/{n:03d}.bin", "wb").write(data)
PY
mke2fs -q -t ext4 -d "$work/tree" "$work/disk.img" 1G || { echo "disk_image_bench.sh: mke2fs failed" >&2; exit 2; }
rm -rf "$work/tree"
ewfacquire -u -q -c fast -f encase6 -t "$work/disk" "$work/disk.img" >/dev/null

peak_rss() {
  /usr/bin/time -f '%M' -o "$work/rss" "$@" >/dev/null 2>&1 || true
  tail -n 1 "$work/rss" | awk '{ printf "%.1f MiB", $1 / 1024 }'
}

hyperfine -N -i --output=pipe --warmup 1 --runs "$runs" --export-json "$work/result.json" \
  -n "image walk, raw" "$scanner -q -c --image $work/disk.img" \
  -n "image walk, E01" "$scanner -q -c --image $work/disk.E01" \
  -n "plain scan of the raw image" "$scanner -q -c $work/disk.img" >/dev/null 2>&1
echo "1 GiB ext4 image, 3,200 files of 256 KiB ($(du -h "$work/disk.E01" | cut -f1) as E01):"
python3 bench/hyperfine_ratios.py "$work/result.json" "image walk, raw" "plain scan of the raw image"
python3 bench/hyperfine_ratios.py "$work/result.json" "image walk, E01" "image walk, raw"
echo "  peak resident memory: --image raw $(peak_rss "$scanner" -q -c --image "$work/disk.img"), E01 $(peak_rss "$scanner" -q -c --image "$work/disk.E01"), plain scan $(peak_rss "$scanner" -q -c "$work/disk.img")"
