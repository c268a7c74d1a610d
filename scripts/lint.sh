#!/usr/bin/env bash
# Layout and static analysis of the product and test sources; fails on any
# finding. Needs the host build's compile_commands.json.
set -euo pipefail
cd "$(dirname "$0")/.."

Files() { git ls-files --cached --others --exclude-standard "$@"; }
mapfile -t sources < <(Files '*.cpp' '*.h')
mapfile -t product < <(Files 'launch_plan/*.cpp' 'runner/*.cpp')

clang-format --dry-run --Werror "${sources[@]}"
clang-tidy --quiet -p build/host "${product[@]}" 2>/dev/null
cppcheck --quiet --error-exitcode=1 --std=c++17 --enable=warning,style,performance,portability \
  --suppress=missingIncludeSystem --inline-suppr -I launch_plan -I runner launch_plan runner
echo "Layout, clang-tidy and cppcheck: clean."
