#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The demonstration: opens resources/sample.jpg with the real window on a
# virtual display, as a file manager's "Open With" would, waits for the Run,
# copies the results box's text out of the window, saves a picture of the
# window and prints both. Ends by itself.
#   scripts/demo.sh [PROGRAM] [PICTURE]
# PROGRAM defaults to build/window/telltale, PICTURE to build/demo.png.
# Needs xvfb-run, xdotool, xclip and ImageMagick (install-deps.sh run).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$root/build/window/telltale}")
picture=$(realpath -m "${2:-$root/build/demo.png}")
sample=$root/resources/sample.jpg
[ -x "$program" ] || { echo "demo.sh: no program at $program; build it first" >&2; exit 1; }

if [ -z "${TELLTALE_ON_XVFB:-}" ]; then
  # Again inside a fresh virtual display, light theme, 96 dots per inch.
  exec env TELLTALE_ON_XVFB=1 xvfb-run -a -s "-screen 0 800x600x24 -dpi 96" "$0" "$program" "$picture"
fi

export QT_QPA_PLATFORM=xcb
unset QT_QPA_PLATFORMTHEME QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS
# A desktop session has a runtime folder of its own; this one is made for
# the demonstration and goes with it.
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
"$program" "$sample" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$XDG_RUNTIME_DIR"' EXIT

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Form1$' | head -n 1)
# The results box's text, as the user could copy it: click into the box,
# select all, copy. The Run has ended once the box reports a finding or the
# selection.
results=
for _ in $(seq 50); do
  xdotool mousemove --window "$window" 180 200 click 1 key ctrl+a ctrl+c
  results=$(timeout 2 xclip -o -selection clipboard 2>/dev/null || true)
  case "$results" in *"program detected!" | *"Sorry no Steg found.") break ;; esac
  sleep 0.2
done
xdotool key ctrl+Home  # the selection off the picture
sleep 0.5
mkdir -p "$(dirname "$picture")"
import -window "$window" "$picture"

echo "Ran Telltale on $sample; the results box reads:"
printf '%s\n' "$results" | sed 's/^/    /'
echo "A picture of the window: $picture"
