#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Static checks over the project's C++ files: clang-format on every one, then
# clang-tidy and cppcheck on every source file among them that the build
# compiles. Any finding fails.
#   scripts/lint.sh          all three; needs a configured build/ (scripts/test.sh makes one),
#                            and configures the Windows build if it is not there
#   scripts/lint.sh format   the formatting only
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files -- detection window cli tests bench fuzz | grep -E '\.(cpp|h)$')
clang-format --dry-run --Werror "${files[@]}"
[ "${1:-all}" = format ] && exit 0

# clang-tidy reads the standard, GoogleTest and Qt headers afresh for every
# file it is given, which costs it far more than the project's own code. So
# the test command configures its builds with CMAKE_UNITY_BUILD: each
# target's sources come as one unity file that includes them all, and are
# checked together. A unit is a unity file or a source compiled on its own
# (the generated moc and rcc sources are not the project's to check). The
# fuzz target is built only with clang, in a build of its own.
export project_folders="^$PWD/(detection|window|cli|tests|bench)/"
units_of() {
  local unit
  jq -r '.[].file' "$1/compile_commands.json" | while read -r unit; do
    members_of "$unit" | head -n 1 | grep -qE "$project_folders" && echo "$unit"
  done
}
members_of() {
  case $1 in
    */Unity/*) sed -n 's/^#include "\(.*\)"$/\1/p' "$1" ;;
    *) echo "$1" ;;
  esac
}
# A unit is checked as its sources would be alone: with the checks that
# apply to them (the first one's; a target's sources share a folder)
# and with the project's headers and sources named by their full paths, as
# the compiler sees them.
tidy_unit() {
  local build=$1 unit=$2
  shift 2
  local checks
  checks=$(clang-tidy --dump-config "$(members_of "$unit" | head -n 1)" -- | grep '^Checks:')
  # A unity file includes sources, which is what that check is there to flag.
  case $unit in
    */Unity/*) checks=$(sed -E "s/(['\"])\$/,-bugprone-suspicious-include\1/" <<<"$checks") ;;
  esac
  # Flags for GCC alone, such as -Wno-subobject-linkage, are no concern of clang.
  clang-tidy -p "$build" --config="$checks" --header-filter="$project_folders" \
    --extra-arg=-Wno-unknown-warning-option --quiet --warnings-as-errors='*' "$@" "$unit" 2>/dev/null
}
export -f members_of tidy_unit
# Checks the units read from standard input, of the given build, with any
# further arguments, on every processor; the largest go first, so that the
# processors finish together.
tidy_units() {
  local build=$1 unit
  shift
  while read -r unit; do
    printf '%s %s\n' "$(members_of "$unit" | wc -l)" "$unit"
  done | sort -rn | cut -d' ' -f2- |
    xargs -P "$(nproc)" -I{} bash -c 'tidy_unit "$@"' _ "$build" {} "$@"
}
mapfile -t units < <(units_of build)
printf '%s\n' "${units[@]}" | tidy_units build
mapfile -t sources < <(for unit in "${units[@]}"; do members_of "$unit"; done | sed "s|^$PWD/||")

# The Windows files, which only the Windows build compiles, are checked with
# its compile commands against mingw-w64's headers: clang is told the target,
# and given the C++ library's folders that the cross-compiler searches. GCC's
# own built-in headers are left out; clang has its own. A unit is checked if
# it holds any such file.
windows=build-windows-x86_64
if [ ! -f "$windows/compile_commands.json" ]; then
  cmake -S . -B "$windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake -DBUILD_TESTING=ON \
    -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=0 >/dev/null
fi
mapfile -t windows_units < <(units_of "$windows" | while read -r unit; do
  members_of "$unit" | sed "s|^$PWD/||" | grep -qvxF -f <(printf '%s\n' "${sources[@]}") && echo "$unit"
done)
cross_headers=(--extra-arg=--target=x86_64-w64-mingw32)
while read -r folder; do
  cross_headers+=("--extra-arg=-isystem$folder")
done < <(x86_64-w64-mingw32-g++-posix -xc++ -E -v - </dev/null 2>&1 |
  sed -n '/search starts here/,/End of search/p' | grep '^ ' | grep -Ev '/gcc/.*/include(-fixed)?$')
cross_headers+=(--extra-arg=-isystem/usr/x86_64-w64-mingw32/include)
# Two checks only ever flag the system's own definitions: HANDLE is a
# pointer typedef, so `const HANDLE` is read as a misplaced const, and
# INVALID_HANDLE_VALUE is an integer cast to a pointer.
printf '%s\n' "${windows_units[@]}" |
  tidy_units "$windows" "${cross_headers[@]}" --checks=-misc-misplaced-const,-performance-no-int-to-ptr

# A failed assertion leaves a test early, with whatever it opened: the test
# process ends soon after anyway.
cppcheck -j "$(nproc)" --quiet --error-exitcode=1 --enable=warning,performance,portability \
  --inline-suppr --std=c++20 --language=c++ --library=googletest --library=qt --library=posix \
  --suppress='resourceLeak:tests/*' -I . -I detection/include -I detection -I build/generated \
  -I tests/support -I tests/cli -I tests/window \
  "${sources[@]}"
