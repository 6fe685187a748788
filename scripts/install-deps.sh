#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing, fuzzing, benchmarking
# and screenshotting Telltale needs. Run as root (or through sudo).
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config python3
  # the window
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # fuzzing and sanitizers (clang's libFuzzer and runtimes)
  clang libclang-rt-dev
  # static checks
  clang-format clang-tidy cppcheck
  # window tests and screenshots on a headless machine
  xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core
  # the Windows version resource is checked with windres
  binutils-mingw-w64-x86-64
  # comparison benchmarks for the command-line scanner
  hyperfine ripgrep yara time
)

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
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
