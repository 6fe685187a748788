#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian package from a configured and built tree and checks it as
# it would be installed: lintian, the software centre entry, the desktop entry,
# the files it holds, and both programs run from an unpacked copy.
#   scripts/check-package.sh [BUILD_DIR]
# BUILD_DIR defaults to build/ in the source tree. Needs cmake (cpack),
# dpkg-dev, lintian, appstream, desktop-file-utils and file.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
me=check-package

passed=0
failed=0
pass() { passed=$((passed + 1)); printf '%s: ok: %s\n' "$me" "$*"; }
fail() { failed=$((failed + 1)); printf '%s: FAILED: %s\n' "$me" "$*" >&2; }
die() { printf '%s: FAILED: %s\n' "$me" "$*" >&2; exit 1; }
step() { printf '\n== %s\n' "$*"; }

# The tools, each with the Debian package that brings it.
for need in cpack:cmake dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev lintian:lintian \
  appstreamcli:appstream desktop-file-validate:desktop-file-utils file:file; do
  command -v "${need%%:*}" >/dev/null ||
    die "${need%%:*} is missing: install the Debian package ${need#*:}"
done
[ -f "$build/CPackConfig.cmake" ] ||
  die "$build is not a configured build tree (no CPackConfig.cmake): run cmake first"

# What the package has to say of itself, from the project's own files.
project_version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
shown_version=$(sed -n 's/^#define TELLTALE_VERSION_SHOWN "\([^"]*\)"$/\1/p' \
  "$build/generated/telltale/version.h")
[ -n "$project_version" ] || die "no CPACK_PACKAGE_VERSION in $build/CPackConfig.cmake"
[ -n "$shown_version" ] || die "no TELLTALE_VERSION_SHOWN in $build/generated/telltale/version.h"
metainfo=usr/share/metainfo/org.example.telltale.metainfo.xml
desktop=usr/share/applications/telltale.desktop
icon_sizes=(16 22 24 32 48 64 128 256)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

step "Building the package"
(cd "$build" && cpack -G DEB) 2>&1 | tee "$scratch/cpack.log" ||
  die "cpack -G DEB failed in $build (are both programs built?)"
mapfile -t debs < <(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$scratch/cpack.log")
[ "${#debs[@]}" -eq 1 ] || die "cpack made ${#debs[@]} packages, expected one"
deb=${debs[0]}
[ -f "$deb" ] || die "cpack names $deb, which is not there"
pass "built $deb"

step "Control fields"
field() { dpkg-deb -f "$deb" "$1"; }
check_field() {
  local name=$1 expected=$2 actual
  actual=$(field "$name")
  if [ "$actual" = "$expected" ]; then
    pass "$name: $actual"
  else
    fail "$name is '$actual', expected '$expected'"
  fi
}
check_field Package telltale
check_field Architecture "$(dpkg --print-architecture)"
check_field Maintainer "Telltale authors <authors@telltale.example.org>"
check_field Homepage "https://telltale.example.org"
check_field Section utils
check_field Priority optional
version=$(field Version)
case $version in
  "$project_version"-*) pass "Version: $version" ;;
  *) fail "Version is '$version', expected $project_version-<revision>" ;;
esac
# dpkg-shlibdeps found the libraries both programs link.
depends=$(field Depends)
depended_on=$(sed 's/^ *//; s/[ (].*//' <<<"${depends//[,|]/$'\n'}")
missing_depends=()
libraries=(libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6)
# telltale-scan --image links The Sleuth Kit where the build reads disk images.
grep -q '^TELLTALE_DISK_IMAGES:BOOL=ON$' "$build/CMakeCache.txt" && libraries+=(libtsk19)
for library in "${libraries[@]}"; do
  grep -Fxq "$library" <<<"$depended_on" || missing_depends+=("$library")
done
if [ "${#missing_depends[@]}" -eq 0 ]; then
  pass "Depends: $depends"
else
  fail "Depends lacks ${missing_depends[*]}: '$depends'"
fi

step "lintian"
if lintian --fail-on error --info "$deb"; then
  pass "lintian reports no errors"
else
  fail "lintian reports errors (above)"
fi

step "Files in the package"
dpkg-deb -x "$deb" "$scratch/root"
tree=$scratch/root
expected_files=(
  usr/bin/telltale
  usr/bin/telltale-scan
  usr/share/man/man1/telltale.1.gz
  usr/share/man/man1/telltale-scan.1.gz
  usr/share/doc/telltale/copyright
  usr/share/doc/telltale/changelog.Debian.gz
  usr/share/doc/telltale/telltale-scan.schema.json
  usr/share/doc/telltale/finding-places.md
  "$desktop"
  "$metainfo"
  usr/share/icons/hicolor/scalable/apps/telltale.svg
)
for size in "${icon_sizes[@]}"; do
  expected_files+=("usr/share/icons/hicolor/${size}x${size}/apps/telltale.png")
done
for path in "${expected_files[@]}"; do
  if [ -f "$tree/$path" ]; then
    pass "holds /$path"
  else
    fail "does not hold /$path"
  fi
done
# Nothing may land outside /usr.
stray=$(find "$tree" -mindepth 1 -maxdepth 1 ! -name usr -printf '/%P\n')
if [ -z "$stray" ]; then
  pass "everything is under /usr"
else
  fail "files outside /usr: $stray"
fi
for program in telltale telltale-scan; do
  description=$(file -b "$tree/usr/bin/$program" 2>&1)
  case $description in
    ELF*", stripped"*) pass "/usr/bin/$program is stripped" ;;
    *) fail "/usr/bin/$program is not a stripped program: $description" ;;
  esac
done
for page in telltale telltale-scan; do
  if gzip -t "$tree/usr/share/man/man1/$page.1.gz" 2>/dev/null; then
    pass "$page.1.gz is gzipped"
  else
    fail "$page.1.gz is not a valid gzip file"
  fi
done
for size in "${icon_sizes[@]}"; do
  icon=$tree/usr/share/icons/hicolor/${size}x${size}/apps/telltale.png
  [ -f "$icon" ] || continue
  description=$(file -b "$icon")
  case $description in
    "PNG image data, $size x $size,"*) pass "the ${size}px icon is a $size x $size PNG" ;;
    *) fail "the ${size}px icon is $description" ;;
  esac
done

step "Software centre entry and desktop entry"
if appstreamcli validate --no-net "$tree/$metainfo"; then
  pass "appstreamcli validate: $metainfo"
else
  fail "appstreamcli validate finds problems in $metainfo"
fi
# The whole tree: the launchable desktop entry and the icon have to be there.
if appstreamcli validate-tree --no-net "$tree"; then
  pass "appstreamcli validate-tree: the metainfo, desktop entry and icons agree"
else
  fail "appstreamcli validate-tree finds problems in the package"
fi
# desktop-file-validate prints warnings and still succeeds: any word is a failure.
if report=$(desktop-file-validate --no-hints "$tree/$desktop" 2>&1) && [ -z "$report" ]; then
  pass "desktop-file-validate: $desktop"
else
  fail "desktop-file-validate: ${report:-exit status $?}"
fi

step "The programs, run from the unpacked package"
# The window program answers --version before it looks for a display, so it
# must work with none at all.
if output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  timeout 30 "$tree/usr/bin/telltale" --version 2>&1); then
  if [ "${output%%$'\n'*}" = "Telltale $shown_version" ]; then
    pass "telltale --version without a display: $output"
  else
    fail "telltale --version printed '$output', expected 'Telltale $shown_version'"
  fi
else
  fail "telltale --version without a display exited with status $?: $output"
fi
if output=$(timeout 30 "$tree/usr/bin/telltale-scan" --version 2>&1); then
  if [ "${output%%$'\n'*}" = "telltale-scan $shown_version" ]; then
    pass "telltale-scan --version: $output"
  else
    fail "telltale-scan --version printed '$output', expected 'telltale-scan $shown_version'"
  fi
else
  fail "telltale-scan --version exited with status $?: $output"
fi
# One scan, to see the packaged scanner work and not only start: a JPHide
# marker at byte 3 and a Hiderman marker at byte 7.
printf 'ab\xff\xdbxyCDNz' >"$scratch/sample"
expected=$(printf '%s:3:JPHide\n%s:7:Hiderman' "$scratch/sample" "$scratch/sample")
if output=$(timeout 30 "$tree/usr/bin/telltale-scan" -q "$scratch/sample" 2>&1); then
  if [ "$output" = "$expected" ]; then
    pass "telltale-scan finds both markers in a sample"
  else
    fail "telltale-scan printed '$output' for the sample, expected '$expected'"
  fi
else
  fail "telltale-scan on the sample exited with status $?: $output"
fi

printf '\n%s: %d passed, %d failed\n' "$me" "$passed" "$failed"
[ "$failed" -eq 0 ] || die "the package at $deb has problems (above)"
printf '%s: %s is good\n' "$me" "$deb"
