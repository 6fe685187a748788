#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Cross-builds telltale-scan and its tests for Windows with mingw-w64, x86_64
# and i686, runs the tests under Wine, and compares what the Windows scanner
# prints with what the Linux one prints for the same files.
#   scripts/test-windows.sh [--build-only | --tests-only] [LINUX_BUILD_DIR]
# LINUX_BUILD_DIR (default build) holds a Linux build; its telltale-scan is
# built there first if missing. The Windows builds go to build-windows-*/.
# --build-only stops after the builds; --tests-only runs the tests of builds
# made before.
set -euo pipefail
cd "$(dirname "$0")/.."

phase=all
case "${1:-}" in
  --build-only) phase=build; shift ;;
  --tests-only) phase=tests; shift ;;
esac
linux_build=${1:-build}
jobs=${TELLTALE_JOBS:-$(nproc)}

step() { printf '\n== %s\n' "$*"; }

# Quiet, and no dialog offering to install Wine's .NET or browser engine.
export WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
export WINEPREFIX="$PWD/build-windows-x86_64/wineprefix"

build_for() {
  local arch=$1
  # The library, the scanner and the Win32 window, with their tests, each
  # target's sources compiled as one file (as scripts/test.sh does).
  cmake -S . -B "build-windows-$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/mingw-w64-$arch.cmake" \
    -DTELLTALE_WERROR=ON -DBUILD_TESTING=ON -DTELLTALE_WINDOW=ON \
    -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=0 >/dev/null
  cmake --build "build-windows-$arch" -j "$jobs"
}

# Wine's server and its background programs are started once, apart from
# everything else: started by a test they would inherit ctest's output pipe
# and keep every test waiting for it to close.
start_wine() {
  mkdir -p "$WINEPREFIX"
  setsid wineserver -p </dev/null >/dev/null 2>&1 &
  setsid wineboot -i </dev/null >/dev/null 2>&1
}
stop_wine() { wineserver -k >/dev/null 2>&1 || true; }

if [ "$phase" != tests ]; then
  step "Windows builds (mingw-w64, x86_64 and i686)"
  build_for x86_64
  build_for i686
fi
[ "$phase" != build ] || exit 0

start_wine
scratch=$(mktemp -d)
trap 'stop_wine; rm -rf "$scratch"' EXIT

step "Windows x86_64 tests under Wine (the window's on a virtual display and a Wine of its own)"
ctest --test-dir build-windows-x86_64 --output-on-failure

step "Windows i686 tests under Wine"
# A wine64 without its 32-bit half runs a 32-bit program as if it did
# nothing: it prints nothing and exits with 0. Only a program that answers
# shows that 32-bit programs run here.
if [ "$(wine build-windows-i686/cli/telltale-scan.exe --version 2>/dev/null)" != \
     "$(wine build-windows-x86_64/cli/telltale-scan.exe --version 2>/dev/null)" ]; then
  echo "this Wine cannot run 32-bit programs: install wine32:i386 (scripts/install-deps.sh)" >&2
  exit 1
fi
ctest --test-dir build-windows-i686 --output-on-failure

step "Windows and Linux scanners print the same"
if [ ! -x "$linux_build/cli/telltale-scan" ]; then
  cmake -S . -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$linux_build" -j "$jobs" --target telltale-scan
fi
linux_scan=$(realpath "$linux_build/cli/telltale-scan")
windows_scan=$(realpath build-windows-x86_64/cli/telltale-scan.exe)
windows32_scan=$(realpath build-windows-i686/cli/telltale-scan.exe)

files="$scratch/files"
mkdir -p "$files/sub/caf$(printf '\xc3\xa9') 日本"
printf 'ab\xff\xdb\r\ncdn\x1a\xff\xdbCDN\r\n' >"$files/crlf.txt"
printf '\xff\xd8\xff\xdb\x00\x43\xff\xdbcDn' >"$files/sub/caf$(printf '\xc3\xa9') 日本/photo.jpg"
printf 'nothing here\r\n' >"$files/sub/plain.txt"
: >"$files/empty"
# Pictures whose findings the structure walk places: a photo's own tables,
# a ZIP appended after its end, a PNG's comment.
mkdir -p "$files/pictures"
convert -size 96x64 gradient:navy-orange "$files/pictures/photo.jpg"
convert -size 16x16 xc:teal -set comment CDN -define png:exclude-chunk=date,time \
  "$files/pictures/picture.png"
printf 'the key: CDN \xff\xdb\n' >"$scratch/secret.txt"
(cd "$scratch" && zip -q -X -0 payload.zip secret.txt)
cat "$files/pictures/photo.jpg" "$scratch/payload.zip" >"$files/pictures/carrier.jpg"
# Past 4 GiB, where a 32-bit size or offset would wrap; a hole on most disks.
large=
if truncate -s 4294967297 "$files/large.bin" 2>/dev/null; then
  printf '\xff\xdbCDN' >>"$files/large.bin"
  large=large.bin
fi

same_run_facts() {
  sed -E -e 's/"command_line":\["[^"]*"/"command_line":["telltale-scan"/' \
    -e 's/"started":"[^"]*"/"started":"START"/' \
    -e 's/"elapsed_seconds":[0-9.]+/"elapsed_seconds":0/' \
    -e 's/"access_times":"[^"]*"/"access_times":"ACCESS"/' \
    -e 's/"access_time_kept":(true|false)/"access_time_kept":KEPT/'
}

# compare LABEL INPUT ARGUMENTS...: the x86_64 scanner against Linux's;
# compare32 does the same with the i686 one.
compare() { compare_with "$windows_scan" "$@"; }
compare32() { compare_with "$windows32_scan" "$@"; }
compare_with() {
  local scanner=$1 label=$2 input=$3
  shift 3
  local linux_out windows_out
  linux_out=$(cd "$files" && "$linux_scan" "$@" <"$input" 2>&1; echo "status $?") || true
  windows_out=$(cd "$files" && wine "$scanner" "$@" <"$input" 2>&1; echo "status $?") || true
  # Walked paths are joined with a backslash on Windows (doubled in JSON).
  windows_out=$(printf '%s' "$windows_out" | sed -e 's/\\\\/\//g' -e 's/\\/\//g')
  # What differs by nature: the program's own path, the clock, and how each
  # system keeps access times.
  linux_out=$(printf '%s' "$linux_out" | same_run_facts)
  windows_out=$(printf '%s' "$windows_out" | same_run_facts)
  if [ "$linux_out" = "$windows_out" ]; then
    echo "same: $label"
  else
    echo "DIFFERENT: $label"
    diff <(printf '%s\n' "$linux_out") <(printf '%s\n' "$windows_out") || true
    return 1
  fi
}

stdin_file="$scratch/stdin"
printf 'x\r\n\x1a\xff\xdb\r\nCDN\x1a' >"$stdin_file"
status=0
compare "default output" /dev/null crlf.txt empty missing $large || status=1
compare "counts" /dev/null -c crlf.txt empty missing || status=1
compare "JSON" /dev/null --json crlf.txt empty missing || status=1
# Several chunks, read by two threads: the digest takes them in order.
head -c 3000000 /dev/urandom >"$scratch/random.bin"
compare "counts with digests" /dev/null -c --hash crlf.txt empty ../random.bin || status=1
compare "JSON with digests" /dev/null --json --hash crlf.txt empty || status=1
compare "walk" /dev/null -r . || status=1
compare "walk, counts" /dev/null -r -c sub || status=1
compare "walk, JSON" /dev/null -r --json sub || status=1
compare "standard input" "$stdin_file" - || status=1
compare "standard input, JSON" "$stdin_file" --json - || status=1
compare "the window's text, CR LF and all" /dev/null --window-text crlf.txt || status=1
pictures=(pictures/photo.jpg pictures/carrier.jpg pictures/picture.png)
compare "pictures, JSON with places" /dev/null --json "${pictures[@]}" || status=1
compare "pictures, places" /dev/null --explain "${pictures[@]}" || status=1
compare "pictures, unexplained, JSON" /dev/null --json --unexplained "${pictures[@]}" || status=1
compare "pictures, unexplained" /dev/null --unexplained --explain "${pictures[@]}" || status=1
compare "a picture on standard input, JSON" "$files/pictures/carrier.jpg" --json - || status=1
compare "a value for an option that takes none" /dev/null --count=3 crlf.txt || status=1
# The 32-bit scanner: sizes and offsets past 4 GiB, several chunks hashed in
# order, a walk.
compare32 "32-bit, default output" /dev/null crlf.txt empty missing $large || status=1
compare32 "32-bit, JSON with digests" /dev/null --json --hash crlf.txt ../random.bin || status=1
compare32 "32-bit, walk, counts" /dev/null -r -c sub || status=1

# Under a terminal Wine gives the program a console, which shows UTF-8 bytes
# in its own code page unless they are written to it as UTF-16.
console_out=$(cd "$files" &&
  script -qc "wine '$windows_scan' 'sub/caf$(printf '\xc3\xa9') 日本/photo.jpg'" /dev/null </dev/null) || true
case "$console_out" in
  *"sub/café 日本/photo.jpg:3:JPHide"*) echo "same: a name shown on a console" ;;
  *) echo "DIFFERENT: a name shown on a console: $console_out"; status=1 ;;
esac
exit "$status"
