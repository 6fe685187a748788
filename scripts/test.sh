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
# Each target's sources are compiled as one file: the standard, GoogleTest
# and Qt headers are then read once a target rather than once a source, in
# the compiler and in clang-tidy (scripts/lint.sh) alike.
unity=(-DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=0)
fuzz_seconds=${TELLTALE_FUZZ_SECONDS:-60}

step() { printf '\n== %s (at %d s)\n' "$*" "$SECONDS"; }

step "Formatting"
bash scripts/lint.sh format

step "Release build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTELLTALE_WERROR=ON -DBUILD_TESTING=ON \
  -DTELLTALE_BENCH=ON "${unity[@]}"
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

step "Windows builds"
bash scripts/test-windows.sh --build-only build

# The Windows tests spend most of their time waiting for Wine and its
# windows, so they run beside the static checks and the package, which keep
# the processors busy; their output follows once they are done.
step "Windows tests under Wine and the same output as on Linux: started beside what follows"
windows_log=build-windows-x86_64/test-windows.log
bash scripts/test-windows.sh --tests-only build >"$windows_log" 2>&1 &
windows_tests=$!
trap 'kill "$windows_tests" 2>/dev/null || true' EXIT

step "Static checks: clang-tidy and cppcheck"
bash scripts/lint.sh

step "Debian package"
bash scripts/check-package.sh build

step "Windows tests under Wine and the same output as on Linux: their output"
windows_status=0
wait "$windows_tests" || windows_status=$?
trap - EXIT
cat "$windows_log"
[ "$windows_status" -eq 0 ] || { echo "the Windows tests failed (status $windows_status)"; exit 1; }

step "Builds with AddressSanitizer and UndefinedBehaviorSanitizer: the suite, and the fuzz target"
# -O1 and line tables are what the sanitizers' reports need, and build in
# half the time of -O2 with full debugging information.
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELLTALE_WERROR=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO='-O1 -g1 -DNDEBUG' \
  -DTELLTALE_SANITIZE=address,undefined -DTELLTALE_BENCH=OFF "${unity[@]}"
cmake --build build-sanitize -j "$jobs"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTELLTALE_WERROR=ON \
  -DTELLTALE_FUZZ=ON -DTELLTALE_SANITIZE=address,undefined \
  -DTELLTALE_WINDOW=OFF -DTELLTALE_BENCH=OFF -DBUILD_TESTING=OFF "${unity[@]}"
cmake --build build-fuzz -j "$jobs" --target scan_fuzz

# The fuzz run takes one processor; the suite's many short programs and
# their waits leave room for it. Its output follows the suite's.
step "Tests under the sanitizers, and differential fuzzing for ${fuzz_seconds} s beside them"
corpus=$(mktemp -d)
fuzz_log=build-fuzz/fuzz.log
build-fuzz/fuzz/scan_fuzz -max_total_time="$fuzz_seconds" -max_len=4096 \
  -print_final_stats=1 "$corpus" >"$fuzz_log" 2>&1 &
fuzz_run=$!
trap 'kill "$fuzz_run" 2>/dev/null || true; rm -rf "$corpus"' EXIT
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions=$PWD/scripts/lsan-suppressions.txt \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"
fuzz_status=0
wait "$fuzz_run" || fuzz_status=$?
step "Differential fuzzing: its output"
if [ "$fuzz_status" -ne 0 ]; then
  cat "$fuzz_log"
  echo "the fuzz run failed (status $fuzz_status)"
  exit 1
fi
tail -n 20 "$fuzz_log"

step "All checks passed"
