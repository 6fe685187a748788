#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds everything and runs every check: the formatting, the test suite, the
# Windows builds and their tests under Wine, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, and a bounded differential
# fuzz run. Installs what it needs first. Usage: scripts/test.sh
#
# scripts/test.sh --quick is the loop to run while working: the Debug build
# of the dev preset (CMakePresets.json, in build-dev/) and its tests, without
# installing anything, without Wine, lint, sanitizers or fuzzing.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --quick ]; then
  cmake --preset dev
  cmake --build --preset dev
  ctest --preset dev -j "$(nproc)"
  exit 0
fi
[ $# -eq 0 ] || { echo "usage: $0 [--quick]" >&2; exit 2; }

bash scripts/install-deps.sh test

jobs=$(nproc)
fuzz_seconds=${TELLTALE_FUZZ_SECONDS:-60}

step() { printf '\n== %s (at %d s)\n' "$*" "$SECONDS"; }

step "Formatting"
bash scripts/lint.sh format

step "Release build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTELLTALE_WERROR=ON -DBUILD_TESTING=ON \
  -DTELLTALE_BENCH=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

step "Windows builds, their tests under Wine, and the same output as on Linux"
bash scripts/test-windows.sh build

step "Static checks: clang-tidy and cppcheck"
bash scripts/lint.sh

step "Debian package"
bash scripts/check-package.sh build

step "Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELLTALE_WERROR=ON \
  -DTELLTALE_SANITIZE=address,undefined -DTELLTALE_BENCH=OFF
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/scripts/lsan-suppressions.txt \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

step "Differential fuzzing for ${fuzz_seconds} s"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELLTALE_WERROR=ON \
  -DTELLTALE_FUZZ=ON -DTELLTALE_SANITIZE=address,undefined \
  -DTELLTALE_WINDOW=OFF -DTELLTALE_BENCH=OFF -DBUILD_TESTING=OFF
cmake --build build-fuzz -j "$jobs" --target scan_fuzz
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
build-fuzz/fuzz/scan_fuzz -max_total_time="$fuzz_seconds" -max_len=4096 \
  -print_final_stats=1 "$corpus"

step "All checks passed"
