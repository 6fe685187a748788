#!/usr/bin/env bash
# Static checks: formatting, clang-tidy and cppcheck over the project's code.
# Needs a configured build/ (scripts/test.sh or scripts/run.sh makes one).
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"
mapfile -t units < <(git ls-files 'detection/*.cpp' 'window/*.cpp' 'cli/*.cpp')
clang-tidy -p build --quiet "${units[@]}"
cppcheck --quiet --error-exitcode=1 --enable=warning,performance,portability \
  --inline-suppr --std=c++20 --language=c++ -I . "${units[@]}"
