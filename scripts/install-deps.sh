#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the Debian 12 packages Telltale needs. Run as root (or through sudo).
#   scripts/install-deps.sh run    building both programs and the demonstration
#   scripts/install-deps.sh test   everything: tests, static checks, fuzzing,
#                                  benchmarks and the package as well
set -euo pipefail

run_packages=(
  # build
  build-essential cmake ninja-build pkg-config
  # the scanner's SHA-256 (libcrypto)
  libssl-dev
  # disk images for telltale-scan --image (The Sleuth Kit, with libewf)
  libtsk-dev
  # the window
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # the demonstration on a machine without a display: a virtual X server,
  # driving the window, copying its text and taking its picture
  xvfb xauth xdotool xclip imagemagick fonts-dejavu-core
)
test_packages=(
  # the check of the scanner's JSON records against their schema
  python3 python3-jsonschema
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # the images the structure walk's and the scanner's tests make with real
  # encoders (besides ImageMagick, above): cjpeg and wrjpgcom, exiftool for
  # EXIF thumbnails, zip for data appended to an image
  libjpeg-turbo-progs libimage-exiftool-perl zip
  # the disk images the --image tests make without mounting: ext4 (mke2fs -d,
  # debugfs), FAT (mkfs.fat, mtools), NTFS (mkntfs, ntfscp), a partition
  # table (sfdisk), E01 (ewfacquire)
  e2fsprogs dosfstools mtools ntfs-3g fdisk ewf-tools
  # the recipe that spreads a scan over several workers (GNU parallel) and
  # scripts/merge-summaries.sh, which adds up their summaries (jq)
  parallel jq
  # fuzzing and sanitizers (clang's libFuzzer and runtimes)
  clang libclang-rt-dev
  # static checks
  clang-format clang-tidy cppcheck
  # window tests: the close button is pressed through xcb
  x11-utils libxcb1-dev
  # the Windows version resource is checked with windres
  binutils-mingw-w64-x86-64
  # the Windows builds (GoogleTest built from its source) and Wine to run
  # their tests; 32-bit programs run with wine32, from the i386 architecture
  # (added below)
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine wine64 wine32:i386
  # the Windows installer
  nsis
  # the package and its metadata
  dpkg-dev lintian appstream desktop-file-utils file
  # comparison benchmarks for the command-line scanner
  hyperfine ripgrep yara time openssl
)

case "${1:-test}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
# wine32 is an i386 package: the architecture must be known before the
# package lists are read.
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
  ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
