#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds Telltale and starts its window. On a machine without a display it
# runs the demonstration instead (scripts/demo.sh): a Run through the real
# window on a virtual display, whose results and picture it prints, and
# ends. Installs what building and running need first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DTELLTALE_BENCH=OFF >/dev/null
cmake --build build -j "$(nproc)" --target telltale telltale-scan

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/window/telltale
fi
echo "No display found: running the demonstration on a virtual one." >&2
exec bash scripts/demo.sh
