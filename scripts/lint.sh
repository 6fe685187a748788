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
# file it is given, and that costs it far more than the project's own code.
# So the test command makes unity builds (CMAKE_UNITY_BUILD): each target's
# sources come as one file that includes them all, and clang-tidy checks
# that file, a unit, with the checks of its sources' folder. A source
# compiled on its own is a unit too. The generated moc and rcc sources are
# not the project's to check, and the fuzz target is built only with clang,
# in a build of its own.
#
# The static analyzer is the exception: it follows paths only through the
# functions of the file it is given. Told to take every file's, it takes the
# system headers' too, which costs more than checking each source alone. So
# the analyzer checks each source of the programs alone, with its unit's
# compile command. The tests' code is left to the sanitizers.
export project_folders="^$PWD/(detection|window|cli|tests|bench)/"
programs_only() { grep -E "^$PWD/(detection|window|cli)/" || true; }

members_of() {
  case $1 in
    */Unity/*) sed -n 's/^#include "\(.*\)"$/\1/p' "$1" ;;
    *) echo "$1" ;;
  esac
}
units_of() {
  local unit
  jq -r '.[].file' "$1/compile_commands.json" | while read -r unit; do
    [[ $(members_of "$unit" | sed -n 1p) =~ $project_folders ]] && echo "$unit"
  done
}
# The check globs that apply to a file, comma-separated.
checks_of() {
  clang-tidy --dump-config "$1" -- | sed -n 's/^Checks: *//p' | tr -d "'\"" | sed 's/\\n//g' |
    tr ',' '\n' | sed 's/^ *//; s/ *$//' | grep . | paste -sd,
}
# tidy BUILD FILE unit|analyzer MORE [ARGS...]: clang-tidy over one file of
# BUILD's compilation database, with the checks that apply to its sources
# and then MORE. The project's headers and sources are named by their full
# paths, as the compiler sees them. Flags for GCC alone, such as
# -Wno-subobject-linkage, are no concern of clang.
tidy() {
  local build=$1 file=$2 mode=$3 more=$4 checks
  shift 4
  checks=$(checks_of "$(members_of "$file" | sed -n 1p)")
  case $mode in
    # A unity file includes sources, which bugprone-suspicious-include is
    # there to flag.
    unit) checks+=',-clang-analyzer-*,-bugprone-suspicious-include' ;;
    analyzer) checks="-*,$(tr ',' '\n' <<<"$checks" | grep -E '^-?clang-analyzer-' | paste -sd,)" ;;
  esac
  clang-tidy -p "$build" --checks="$checks${more:+,$more}" --header-filter="$project_folders" \
    --extra-arg=-Wno-unknown-warning-option --quiet --warnings-as-errors='*' "$@" "$file" 2>/dev/null
}
export -f members_of checks_of tidy
# tidy_all BUILD MODE MORE [ARGS...]: tidy over the files read from standard
# input on every processor, the largest first, so that the processors
# finish together.
tidy_all() {
  local build=$1 mode=$2 more=$3 file
  shift 3
  while read -r file; do
    printf '%s %s\n' "$(members_of "$file" | xargs cat | wc -c)" "$file"
  done | sort -rn | cut -d' ' -f2- |
    xargs -r -P "$(nproc)" -I{} bash -c 'tidy "$@"' _ "$build" {} "$mode" "$more" "$@"
}
# sources_database BUILD: the compilation database of the sources of BUILD's
# units read from standard input, one by one, each with its unit's command,
# in BUILD/lint-sources/.
sources_database() {
  local build=$1 unit
  mkdir -p "$build/lint-sources"
  while read -r unit; do
    members_of "$unit" | jq -R --arg unit "$unit" '{unit: $unit, file: .}'
  done | jq -s --slurpfile database "$build/compile_commands.json" '
    [.[] as $source | $database[0][] | select(.file == $source.unit)
     | .command |= (split($source.unit) | join($source.file)) | .file = $source.file]' \
    >"$build/lint-sources/compile_commands.json"
}

mapfile -t units < <(units_of build)
mapfile -t sources < <(for unit in "${units[@]}"; do members_of "$unit"; done)
printf '%s\n' "${units[@]}" | sources_database build
printf '%s\n' "${units[@]}" | tidy_all build unit ""
printf '%s\n' "${sources[@]}" | programs_only | tidy_all build/lint-sources analyzer ""

# The Windows files, which only the Windows build compiles, are checked with
# its compile commands against mingw-w64's headers: clang is told the target,
# and given the C++ library's folders that the cross-compiler searches. GCC's
# own built-in headers are left out; clang has its own. A unit is checked if
# it holds any such file.
windows="build-windows-x86_64"
if [ ! -f "$windows/compile_commands.json" ]; then
  cmake -S . -B "$windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake -DBUILD_TESTING=ON \
    -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=0 >/dev/null
fi
not_linux() { grep -vxF -f <(printf '%s\n' "${sources[@]}") || true; }
mapfile -t windows_units < <(units_of "$windows" | while read -r unit; do
  [ -n "$(members_of "$unit" | not_linux)" ] && echo "$unit"
done)
printf '%s\n' "${windows_units[@]}" | sources_database "$windows"
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
  tidy_all "$windows" unit -misc-misplaced-const,-performance-no-int-to-ptr "${cross_headers[@]}"
for unit in "${windows_units[@]}"; do members_of "$unit"; done | not_linux | programs_only |
  tidy_all "$windows/lint-sources" analyzer "" "${cross_headers[@]}"

# A failed assertion leaves a test early, with whatever it opened: the test
# process ends soon after anyway.
cppcheck -j "$(nproc)" --quiet --error-exitcode=1 --enable=warning,performance,portability \
  --inline-suppr --std=c++20 --language=c++ --library=googletest --library=qt --library=posix \
  --suppress='resourceLeak:tests/*' -I . -I detection/include -I detection -I build/generated \
  -I tests/support -I tests/cli -I tests/window \
  "${sources[@]#"$PWD/"}"
