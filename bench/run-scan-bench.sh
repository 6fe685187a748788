#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs the scan benchmarks once and prints the ratios they are judged by.
# Needs a Release build in build/ (scripts/test.sh makes one).
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mktemp)
trap 'rm -f "$out"' EXIT
build/bench/scan_bench --benchmark_out="$out" --benchmark_out_format=json "$@"
echo
python3 bench/scan_ratios.py "$out"
