#!/usr/bin/env bash
# Layout and static analysis of the product and test sources, the same for
# every shell script (shellcheck), and the relative links of every Markdown
# file; fails on any finding. Needs the host build's compile_commands.json.
set -euo pipefail
cd "$(dirname "$0")/.."

Files() { git ls-files --cached --others --exclude-standard "$@"; }
mapfile -t sources < <(Files '*.cpp' '*.h')
mapfile -t product < <(Files 'launch_plan/*.cpp' 'runner/*.cpp')
# A shell script is a .sh file, or any file whose #! line names a shell.
ShellScripts() {
  local file
  Files | while read -r file; do
    if [[ $file == *.sh ]] || { [ -f "$file" ] && head -n 1 "$file" | grep -qE '^#!.*[/ ](ba)?sh$'; }; then
      echo "$file"
    fi
  done
}
mapfile -t shells < <(ShellScripts)
mapfile -t markdown < <(Files '*.md')

clang-format --dry-run --Werror "${sources[@]}"
clang-tidy --quiet -p build/host "${product[@]}" 2>/dev/null
cppcheck --quiet --error-exitcode=1 --std=c++17 --enable=warning,style,performance,portability \
  --suppress=missingIncludeSystem --inline-suppr -I launch_plan -I runner launch_plan runner
shellcheck "${shells[@]}"
tests/check-links.py "${markdown[@]}"
echo "Layout, clang-tidy and cppcheck: clean; shellcheck: ${#shells[@]} shell scripts clean."
