#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Static checks over the project's C++ files: clang-format on every one, then
# clang-tidy and cppcheck on every source file among them that the build
# compiles. Any finding fails.
#   scripts/lint.sh          all three; needs a configured build/ (scripts/test.sh makes one)
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
  xargs -P "$(nproc)" -n 4 clang-tidy -p build --quiet --warnings-as-errors='*' 2>/dev/null
# A failed assertion leaves a test early, with whatever it opened: the test
# process ends soon after anyway.
cppcheck --quiet --error-exitcode=1 --enable=warning,performance,portability \
  --inline-suppr --std=c++20 --language=c++ --library=googletest --library=qt --library=posix \
  --suppress='resourceLeak:tests/*' -I . -I detection/include -I detection -I build/generated \
  -I tests/support -I tests/cli -I tests/window \
  "${units[@]}"
