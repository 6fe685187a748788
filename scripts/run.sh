#!/usr/bin/env bash
# Builds Telltale and starts its window; on a machine without a display it
# runs under a virtual X server. Installs what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target telltale telltale-scan

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/window/telltale
fi
echo "No display found: starting Telltale under xvfb-run." >&2
exec xvfb-run -a build/window/telltale
