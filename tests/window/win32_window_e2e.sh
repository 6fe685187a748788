#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Drives the Windows window program under Wine on a private virtual X
# display, as a user would: xdotool presses the keys, and a helper program
# reads the controls' texts back through WM_GETTEXT.
#   win32_window_e2e.sh TELLTALE_EXE CONTROL_TEXT_EXE [SCREENSHOT.png]
# With a third argument, a picture of the window after a Run is saved there.
set -euo pipefail

telltale_exe=$(realpath "$1")
control_text_exe=$(realpath "$2")
screenshot=${3:+$(realpath -m "$3")}

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine reads the names on a command line in the locale's character set.
export LC_ALL=C.UTF-8
xvfb_pid=

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Wine's background services inherit whatever output they are started with
# and outlive the command: anything started under Wine gets no pipe of ours.
detached() { setsid "$@" </dev/null >/dev/null 2>&1 & }

# The first window whose title is exactly $1, once it is mapped.
wait_for_window() {
  timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 ||
    true
}

wait_until_gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "the window '$1' stays"
}

focus() {
  xdotool windowfocus --sync "$1"
  sleep 0.3
}

# What the control named $1 in the layout table holds, byte for byte.
control_text() {
  wine "$control_text_exe" "$1" >"$work/text" 2>"$work/text.err" </dev/null ||
    fail "cannot read $1: $(cat "$work/text.err")"
  cat "$work/text"
}

# Waits until the results box holds something, and prints it.
wait_for_results() {
  for _ in $(seq 300); do
    if [ -n "$(control_text txtResults)" ]; then
      cat "$work/text"
      return
    fi
    sleep 0.1
  done
  fail "the results box stays empty"
}

# Presses Run by its access key, or by the key $1 while the button has the
# focus, and waits for the Open dialog.
open_dialog() {
  focus "$form"
  xdotool key "${1:-alt+r}"
  dialog=$(wait_for_window "Choose a file to check")
  [ -n "$dialog" ] || fail "${1:-alt+r} opens no Open dialog"
  focus "$dialog"
}

choose_file() {
  open_dialog "${2:-alt+r}"
  xdotool type --delay 10 "$(winepath -w "$1")"
  xdotool key Return
  wait_until_gone "Choose a file to check"
}

start_window() {
  detached wine "$telltale_exe" "$@"
  telltale_pid=$!
  form=$(wait_for_window Form1)
  [ -n "$form" ] || fail "no window titled Form1"
}

# Waits for the failure report of a Run on $1 and dismisses it with Enter.
expect_failure_report() {
  local report
  report=$(wait_for_window Telltale)
  [ -n "$report" ] || fail "no failure report for $1"
  focus "$report"
  xdotool key Return
  wait_until_gone Telltale
}

close_window() {
  focus "$form"
  xdotool key alt+F4
  wait_until_gone Form1
  for _ in $(seq 100); do
    kill -0 "$telltale_pid" 2>/dev/null || return 0
    sleep 0.1
  done
  fail "the program goes on after its window was closed"
}

# A display of our own, on the first free number.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY

detached wineserver -p
setsid wineboot -i </dev/null >/dev/null 2>&1

# A JPEG header, a quantization table marker at 50 and a Hiderman marker at
# 101 (1-based): the results box ends with the report of the second.
{
  printf '\xff\xd8\xff\xe0\x00\x10JFIF\x00'
  head -c 38 /dev/zero
  printf '\xff\xdb'
  head -c 49 /dev/zero
  printf 'CDN'
  head -c 97 /dev/zero
  printf '\xff\xd9'
} >"$work/planted.jpg"
expected=$(printf '\r\nSteganography found at marker position 101\r\nHiderman program detected!')

echo "== the window as it opens"
start_window
geometry=$(xwininfo -id "$form")
grep -q 'Width: 611$' <<<"$geometry" || fail "client area not 611 wide: $geometry"
grep -q 'Height: 468$' <<<"$geometry" || fail "client area not 468 high: $geometry"
[ -z "$(control_text txtResults)" ] || fail "the results box starts with text"
# Where the Qt window's tests find its controls too.
while read -r name place; do
  wine "$control_text_exe" --geometry "$name" >"$work/geometry" 2>&1 </dev/null ||
    fail "cannot find $name: $(cat "$work/geometry")"
  [ "$(tr -d '\r' <"$work/geometry")" = "$place" ] ||
    fail "$name sits at $(cat "$work/geometry"), not at $place"
done <<'EOF'
Label1 48 24 145 65
cmdTest 240 24 73 57
txtResults 56 128 257 153
Text1 120 328 201 25
Text3 120 344 201 17
Text2 120 360 185 25
Image1 24 328 79 114
EOF

# --- Accessible names and descriptions ---------------------------------------
# A screen reader's view: the window and every control of the layout table
# give the table's name and description through Active Accessibility, read
# from another process as a screen reader reads them.
echo "== the window and each control have the table's accessible name and description"
wine "$control_text_exe" --accessible-expected >"$work/accessible.expected" 2>&1 </dev/null ||
  fail "cannot list the table's accessible texts: $(cat "$work/accessible.expected")"
wine "$control_text_exe" --accessible >"$work/accessible" 2>&1 </dev/null ||
  fail "cannot read the accessible texts: $(cat "$work/accessible")"
# The list holds the window and the button as named, not nothing twice.
grep -q $'^Form1\tTelltale\tChecks a file' "$work/accessible.expected" ||
  fail "the table's accessible texts lack the window's: $(cat "$work/accessible.expected")"
grep -q $'^cmdTest\tRun\t' "$work/accessible.expected" ||
  fail "the table no longer names the Run button Run"
diff "$work/accessible.expected" "$work/accessible" >&2 ||
  fail "accessible texts differ from the table (< table, > window)"
# ------------------------------------------------------------------------------

echo "== Escape in the Open dialog starts no Run"
open_dialog
xdotool key Escape
wait_until_gone "Choose a file to check"
sleep 1
[ -z "$(control_text txtResults)" ] || fail "a cancelled dialog started a Run: $(cat "$work/text")"

echo "== a Run on a chosen file shows the last finding"
choose_file "$work/planted.jpg"
results=$(wait_for_results)
[ "$results" = "$expected" ] || fail "results box reads '$results'"
if [ -n "$screenshot" ]; then
  import -window "$form" "$screenshot"
fi

echo "== the logo notice empties itself on any edit, once"
focus "$form"
for _ in 1 2 3 4; do xdotool key Tab; done # the notice is the fifth Tab stop
xdotool type x
sleep 0.5
[ -z "$(control_text Text3)" ] || fail "the logo notice reads '$(cat "$work/text")'"
[ -n "$(control_text Text1)" ] || fail "an edit of the notice emptied the product line"

echo "== Escape in the progress window cancels a long Run"
truncate -s 64G "$work/large.bin"
choose_file "$work/large.bin"
progress=$(wait_for_window Telltale)
[ -n "$progress" ] || fail "no progress window during a long Run"
focus "$progress"
xdotool key Escape
wait_until_gone Telltale
results=$(control_text txtResults)
[[ "$results" == "Could not scan $(winepath -w "$work/large.bin"): "* ]] ||
  fail "after a cancel the results box reads '$results'"
close_window

echo "== a file named on the command line, its name not ASCII"
cp "$work/planted.jpg" "$work/café 日本.jpg"
start_window "$(winepath -w "$work/café 日本.jpg")"
results=$(wait_for_results)
[ "$results" = "$expected" ] || fail "results box reads '$results'"
close_window

echo "== a file that cannot be scanned is reported, and the window goes on"
missing="$work/missing café 日本.jpg"
start_window "$(winepath -w "$missing")"
expect_failure_report "$(winepath -w "$missing")"
[[ "$(control_text txtResults)" == "Could not scan $(winepath -w "$missing"): "* ]] ||
  fail "after a failure the results box reads '$(cat "$work/text")'"
# The Run button has the focus again, and takes Enter.
choose_file "$work/planted.jpg" Return
for _ in $(seq 300); do
  [ "$(control_text txtResults)" = "$expected" ] && break
  sleep 0.1
done
[ "$(control_text txtResults)" = "$expected" ] || fail "no Run after a failure"
close_window

# --- Paths past MAX_PATH (260 characters) --------------------------------
# A file four folders of 95 characters down, more than 400 characters in
# all: named on the command line it is scanned, the Open dialog opens after
# it, and the results box names a missing one as given, never in the \\?\
# form the window opens it by. (Typed in Wine's Open dialog, such a path
# overruns the dialog's own buffer.) winepath cuts its answer at MAX_PATH:
# the Windows name is spelt here, on Wine's drive Z:, the file system's root.
long_folder=$work
for letter in a b c d; do
  long_folder=$long_folder/long-$(printf "$letter%.0s" $(seq 90))
done
mkdir -p "$long_folder"
cp "$work/planted.jpg" "$long_folder/planted.jpg"
windows_long() { printf 'Z:%s' "$1" | tr / '\\'; }
long_file=$(windows_long "$long_folder/planted.jpg")
[ "${#long_file}" -gt 400 ] || fail "the long path is only ${#long_file} characters"

echo "== a file past MAX_PATH named on the command line"
start_window "$long_file"
results=$(wait_for_results)
[ "$results" = "$expected" ] || fail "with a long path the results box reads '$results'"
# The Open dialog starts near that file's folder, which Wine's cannot show.
open_dialog
xdotool key Escape
wait_until_gone "Choose a file to check"
close_window

echo "== a file past MAX_PATH that is missing is named as given"
long_missing=$(windows_long "$long_folder/missing.jpg")
start_window "$long_missing"
expect_failure_report "$long_missing"
[[ "$(control_text txtResults)" == "Could not scan $long_missing: "* ]] ||
  fail "for a long missing path the results box reads '$(cat "$work/text")'"
close_window
# --- end of the paths past MAX_PATH ----------------------------------------

# ---- The manifest and the DPI -------------------------------------------
# Wine takes the screen's DPI from the registry when a program starts, and
# no wineserver restart is needed; the window must then be laid out from the
# table at that DPI. Twips are pixels at DPI/1440 to the inch, rounded as
# MulDiv rounds; a pixel either way is left to rounding. Wine 8 treats every
# program as aware of the DPI, whatever its manifest says, so the awareness
# the manifest declares is checked where the resources are compiled
# (check_version_resource.cmake), not here.
at_dpi() { echo $((($1 * $2 + 720) / 1440)); }
near() { [ $(($1 - $2)) -le 1 ] && [ $(($2 - $1)) -le 1 ]; }
twips() {
  wine "$control_text_exe" --twips "$1" 2>"$work/twips.err" </dev/null | tr -d '\r' ||
    fail "no $1 in the layout table: $(cat "$work/twips.err")"
}

echo "== [manifest, DPI] at 144 DPI the window and its controls are 1.5 times their size"
dpi=144
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
  >/dev/null 2>&1 </dev/null || fail "cannot set the DPI"
start_window
read -r form_width form_height <<<"$(twips Form1)"
geometry=$(xwininfo -id "$form")
width=$(sed -n 's/^ *Width: //p' <<<"$geometry")
height=$(sed -n 's/^ *Height: //p' <<<"$geometry")
[ "$width" = "$(at_dpi "$form_width" $dpi)" ] && [ "$height" = "$(at_dpi "$form_height" $dpi)" ] ||
  fail "client area ${width}x$height at $dpi DPI: $geometry"
for name in Label1 cmdTest txtResults Text1 Text3 Text2 Image1; do
  read -r -a table <<<"$(twips "$name")"
  wine "$control_text_exe" --geometry "$name" >"$work/geometry" 2>&1 </dev/null ||
    fail "cannot find $name: $(cat "$work/geometry")"
  read -r -a place <<<"$(tr -d '\r' <"$work/geometry")"
  for i in 0 1 2 3; do
    near "${place[$i]}" "$(at_dpi "${table[$i]}" $dpi)" ||
      fail "$name sits at ${place[*]} at $dpi DPI, not at 1.5 times its ${table[*]} twips"
  done
done

echo "== [manifest] the window's common controls are version 6: the visual styles"
comctl32=$(wine "$control_text_exe" --common-controls 2>&1 </dev/null | tr -d '\r') ||
  fail "cannot read the window's modules: $comctl32"
shopt -s nocasematch
[[ "$comctl32" == *'\winsxs\'*'microsoft.windows.common-controls_6595b64144ccf1df_6.'*'\comctl32.dll' ]] ||
  fail "the window loaded $comctl32, not the common controls 6"
shopt -u nocasematch

close_window

echo "PASS"
