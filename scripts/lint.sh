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

# The fuzz target is built only with clang, in a build of its own.
mapfile -t units < <(printf '%s\n' "${files[@]}" | grep -E '\.cpp$' |
  while read -r f; do grep -qF "\"$PWD/$f\"" build/compile_commands.json && echo "$f"; done)
printf '%s\n' "${units[@]}" |
  xargs -P "$(nproc)" -n 1 clang-tidy -p build --quiet --warnings-as-errors='*' 2>/dev/null

# The Windows files, which only the Windows build compiles, are checked with
# its compile commands against mingw-w64's headers: clang is told the target,
# and given the C++ library's folders that the cross-compiler searches. GCC's
# own built-in headers are left out; clang has its own.
windows=build-windows-x86_64
if [ ! -f "$windows/compile_commands.json" ]; then
  cmake -S . -B "$windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake -DBUILD_TESTING=ON >/dev/null
fi
mapfile -t windows_units < <(printf '%s\n' "${files[@]}" | grep -E '\.cpp$' |
  while read -r f; do
    grep -qF "\"$PWD/$f\"" "$windows/compile_commands.json" &&
      ! grep -qF "\"$PWD/$f\"" build/compile_commands.json && echo "$f"
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
  xargs -P "$(nproc)" -n 1 clang-tidy -p "$windows" "${cross_headers[@]}" --quiet \
    --checks=-misc-misplaced-const,-performance-no-int-to-ptr \
    --warnings-as-errors='*' 2>/dev/null

# A failed assertion leaves a test early, with whatever it opened: the test
# process ends soon after anyway.
cppcheck -j "$(nproc)" --quiet --error-exitcode=1 --enable=warning,performance,portability \
  --inline-suppr --std=c++20 --language=c++ --library=googletest --library=qt --library=posix \
  --suppress='resourceLeak:tests/*' -I . -I detection/include -I detection -I build/generated \
  -I tests/support -I tests/cli -I tests/window \
  "${units[@]}"
