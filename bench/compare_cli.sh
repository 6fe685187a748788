#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Times telltale-scan against dd, ripgrep and yara on a large random file, a
# Run (--window-text) against dd on the same file, and -c --hash against
# openssl dgst; against ripgrep and yara on a file of nothing but 0xFF bytes;
# -j 2 against -j 1 on many small JPEG images; --json against the default
# output on the random file, and --unexplained against it on 2,000 photos;
# each comparison in one hyperfine run, with the ratios printed. Then
# 256 MiB of "CDN" as a regular file and through a pipe (time, peak resident
# memory, peak temporary-file use), and the peak memory of scans of large
# sparse files.
# Usage: bench/compare_cli.sh [path/to/telltale-scan]   (default: build/cli/telltale-scan)
# Needs hyperfine, ripgrep, yara, ImageMagick, python3, openssl and GNU time, and about
# 1.5 GiB free in $TMPDIR (or /tmp); everything it makes is removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

scanner=$(realpath "${1:-build/cli/telltale-scan}")
runs=${TELLTALE_BENCH_RUNS:-5}
images=${TELLTALE_BENCH_IMAGES:-10000}
photos=${TELLTALE_BENCH_PHOTOS:-2000}
for tool in hyperfine rg yara convert python3 openssl /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "compare_cli.sh: $tool is missing" >&2; exit 2; }
done
[ -x "$scanner" ] || { echo "compare_cli.sh: no scanner at $scanner" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
echo "Making the files in $work ..."
head -c 1G /dev/urandom >"$work/random.bin"
head -c 256M /dev/zero | tr '\0' '\377' >"$work/ff.bin"
cat >"$work/markers.yar" <<'EOF'
rule telltale_markers {
  strings:
    $jphide = { FF DB }
    $hiderman = "CDN" nocase
  condition:
    any of them
}
EOF

# One small photo-like JPEG, then copies that differ in a few bytes after its
# end marker, as a folder of camera pictures would.
convert -size 160x120 plasma:fractal -quality 85 "$work/base.jpg"
python3 - "$work/base.jpg" "$work/images" "$images" <<'EOF'
import os, sys
base = open(sys.argv[1], "rb").read()
os.makedirs(sys.argv[2])
for i in range(int(sys.argv[3])):
    with open(os.path.join(sys.argv[2], f"img{i:05}.jpg"), "wb") as f:
        f.write(base + b"copy %d" % i)
EOF

ratios() {
  python3 bench/hyperfine_ratios.py "$@"
}

compare_on() {
  local file=$1
  hyperfine -N -i --output=pipe --warmup 1 --runs "$runs" --export-json "$work/result.json" \
    -n "telltale-scan -j 1" "$scanner -q -j 1 $file" \
    -n "telltale-scan --window-text" "$scanner --window-text $file" \
    -n "dd bs=256K" "dd if=$file of=/dev/null bs=256K" \
    -n ripgrep "rg -a -o -b --no-mmap '(?-u)\\xFF\\xDB' $file" \
    -n yara "yara -s $work/markers.yar $file" >/dev/null 2>&1
  echo "$(basename "$file"):"
  ratios "$work/result.json" "telltale-scan -j 1" "dd bs=256K" ripgrep yara
  ratios "$work/result.json" "telltale-scan --window-text" "dd bs=256K"
}

compare_on "$work/random.bin"
compare_on "$work/ff.bin"

# JSON records place every finding with the structure walk, which gives up
# at once on bytes of no known format.
hyperfine -N -i --output=pipe --warmup 1 --runs "$runs" --export-json "$work/result.json" \
  -n "telltale-scan --json" "$scanner -q -j 1 --json $work/random.bin" \
  -n "telltale-scan -j 1" "$scanner -q -j 1 $work/random.bin" >/dev/null 2>&1
echo "random.bin, JSON records:"
ratios "$work/result.json" "telltale-scan --json" "telltale-scan -j 1"

# The digest is computed on one thread while the next chunks are read and
# scanned on others: SHA-256 alone is left, where openssl dgst reads and
# hashes on one thread.
hyperfine -N -i --output=pipe --warmup 1 --runs "$runs" --export-json "$work/result.json" \
  -n "telltale-scan -c --hash -j 1" "$scanner -q -c --hash -j 1 $work/random.bin" \
  -n "openssl dgst -sha256" "openssl dgst -sha256 $work/random.bin" >/dev/null 2>&1
echo "random.bin with SHA-256:"
ratios "$work/result.json" "telltale-scan -c --hash -j 1" "openssl dgst -sha256"

# The structure walk: --unexplained walks every photo's structure and prints
# nothing for a plain photo; the default output prints a line per photo
# without walking. About 400 MiB of 200 KiB photos, each made unique by a
# comment segment after its start marker.
convert -size 800x600 plasma:fractal -quality 92 "$work/photo.jpg"
python3 - "$work/photo.jpg" "$work/photos" "$photos" <<'EOF'
import os, struct, sys
base = open(sys.argv[1], "rb").read()
os.makedirs(sys.argv[2])
for i in range(int(sys.argv[3])):
    comment = b"copy %d" % i
    segment = b"\xff\xfe" + struct.pack(">H", len(comment) + 2) + comment
    with open(os.path.join(sys.argv[2], f"photo{i:05}.jpg"), "wb") as f:
        f.write(base[:2] + segment + base[2:])
EOF
echo "$photos photos of $(($(stat -c %s "$work/photo.jpg") / 1024)) KiB, $(du -sm "$work/photos" | cut -f1) MiB:"
hyperfine -N -i --output=pipe --warmup 1 --runs "$runs" --export-json "$work/result.json" \
  -n "--unexplained -j 1" "$scanner -q -r -j 1 --unexplained $work/photos" \
  -n "default output -j 1" "$scanner -q -r -j 1 $work/photos" >/dev/null 2>&1
ratios "$work/result.json" "--unexplained -j 1" "default output -j 1"
rm -rf "$work/photos"

hyperfine -N -i --output=pipe --warmup 1 --runs "$runs" --export-json "$work/result.json" \
  -n "telltale-scan -j 2" "$scanner -q -r -j 2 $work/images" \
  -n "telltale-scan -j 1" "$scanner -q -r -j 1 $work/images" >/dev/null 2>&1
echo "$images small JPEG images:"
ratios "$work/result.json" "telltale-scan -j 2" "telltale-scan -j 1"

# Peak resident memory of one scan, as the kernel counts it, through GNU
# time, whose own footprint before it starts the scanner is about 1 MiB.
peak_rss() {
  /usr/bin/time -f '%M' -o "$work/rss" "$@" >/dev/null 2>&1 || true
  # The last line: a failed command's status comes first.
  tail -n 1 "$work/rss" | awk '{ printf "%.1f MiB", $1 / 1024 }'
}

# Peak size of the scanner's temporary file, which has no name: sampled
# through /proc while the command runs.
peak_tmp() {
  python3 - "$@" <<'EOF2'
import os, subprocess, sys, time
proc = subprocess.Popen(sys.argv[1:], shell=False, stdout=subprocess.DEVNULL)
peak = 0
while proc.poll() is None:
    for pid in [proc.pid] + [int(p) for p in os.popen(f"pgrep -P {proc.pid}").read().split()]:
        try:
            for fd in os.listdir(f"/proc/{pid}/fd"):
                try:
                    st = os.stat(f"/proc/{pid}/fd/{fd}")
                    if (st.st_mode & 0o170000) == 0o100000 and "(deleted)" in os.readlink(f"/proc/{pid}/fd/{fd}"):
                        peak = max(peak, st.st_size)
                except OSError:
                    pass
        except OSError:
            pass
    time.sleep(0.005)
print(f"{peak / 2**20:.1f} MiB")
EOF2
}

rm -f "$work/random.bin" "$work/ff.bin"
python3 -c 'import sys; open(sys.argv[1], "wb").write(b"CDN" * ((256 << 20) // 3))' "$work/cdn.bin"
hyperfine -i --output=pipe --warmup 1 --runs "$runs" --export-json "$work/result.json" \
  -n "regular file" "$scanner -q $work/cdn.bin" \
  -n "pipe" "cat $work/cdn.bin | $scanner -q -" >/dev/null 2>&1
echo "256 MiB of CDN (89 million Hiderman findings):"
ratios "$work/result.json" "pipe" "regular file"
echo "  peak resident memory: regular file $(peak_rss "$scanner" -q "$work/cdn.bin"), pipe $(peak_rss sh -c "cat $work/cdn.bin | $scanner -q -")"
echo "  peak temporary file: regular file $(peak_tmp "$scanner" -q "$work/cdn.bin"), pipe $(peak_tmp sh -c "cat $work/cdn.bin | $scanner -q -")"

rm -f "$work/cdn.bin"
truncate -s 4G "$work/sparse4.bin"
truncate -s 8G "$work/sparse8.bin"
echo "Peak resident memory of sparse files:"
echo "  4 GiB file: $(peak_rss "$scanner" -q "$work/sparse4.bin")"
echo "  8 GiB file, --window-text: $(peak_rss "$scanner" --window-text "$work/sparse8.bin")"
