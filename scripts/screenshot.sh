#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Starts the window program on a virtual X display and saves a picture of its
# window as docs/screenshot.png.
#   scripts/screenshot.sh [PROGRAM] [OUTPUT]
# PROGRAM defaults to build/window/telltale, OUTPUT to docs/screenshot.png.
# Needs xvfb-run, xdotool and ImageMagick's import (scripts/install-deps.sh).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$root/build/window/telltale}")
output=$(realpath -m "${2:-$root/docs/screenshot.png}")
[ -x "$program" ] || { echo "screenshot.sh: no program at $program; build it first" >&2; exit 1; }

if [ -z "${TELLTALE_ON_XVFB:-}" ]; then
  # Start again inside a fresh virtual display, light theme, 96 dots per inch.
  exec env TELLTALE_ON_XVFB=1 xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" "$0" "$program" "$output"
fi

export QT_QPA_PLATFORM=xcb
unset QT_QPA_PLATFORMTHEME QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS
"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Form1$' | head -n 1)
sleep 1  # let the first paint finish
mkdir -p "$(dirname "$output")"
import -window "$window" "$output"
echo "saved $output"
