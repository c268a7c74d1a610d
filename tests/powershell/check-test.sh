#!/usr/bin/env bash
# The author's check: the facts its data must hold (compatibility-facts.ps1),
# its rules, one row each, and whole packages, a row each, each table in one
# PowerShell process (check-rules.ps1, check-package.ps1); then ./build.sh,
# in a copy of the sources, as an author runs it: a refusal, in one of the
# two scripts or in a helper module, must be one error line per problem and
# leave dist/ as it was, with or without --check, and --check must build
# nothing.
# Needs RealPowerShell (scripts/common.sh's EnsurePowerShell).
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/common.sh
: "${RealPowerShell:?RealPowerShell must name pwsh; EnsurePowerShell sets it}"
"$RealPowerShell" -NoProfile -NonInteractive -File tests/powershell/compatibility-facts.ps1
"$RealPowerShell" -NoProfile -NonInteractive -File tests/powershell/check-rules.ps1
"$RealPowerShell" -NoProfile -NonInteractive -File tests/powershell/check-package.ps1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source tests/build-in-copy.sh
# Any earlier package: a refusal must leave it exactly as it is.
mkdir -p "$src/dist/Yorn-UI"
echo "an earlier build" >"$src/dist/Yorn-UI/Install-Yorn-UI.exe"
scripts=$work/scripts

# Scripts FILE TEXT: the default pair in $scripts, and FILE (a path in the
# package) holding TEXT.
Scripts() {
  rm -rf "$scripts" && cp -r package "$scripts"
  mkdir -p "$(dirname "$scripts/$1")"
  printf '%s\n' "$2" >"$scripts/$1"
}

# A refusal in the copy's own package/, and one given with --scripts, each
# by the whole build and by --check alone.
Scripts Optimize-Yorn-UI.ps1 $'param([int] $FPS)\nWrite-Output $FPS\n$x = (1'
cp "$scripts/Optimize-Yorn-UI.ps1" "$src/package/"
parse="Optimize-Yorn-UI.ps1:3:8: Missing closing ')' in expression."
Refused "$parse"
Refused "$parse" --check
cp package/Optimize-Yorn-UI.ps1 "$src/package/"
Scripts Install-Yorn-UI.ps1 $'$h = \'{}\' | ConvertFrom-Json -AsHashtable'
absent="Install-Yorn-UI.ps1:1:30: Windows PowerShell 5.1, which the launcher starts, has no parameter -AsHashtable on ConvertFrom-Json"
Refused "$absent" --scripts "$scripts"
Refused "$absent" --check --scripts "$scripts"
[ "$refused_status" -eq 2 ] || Fail "--check refused with exit $refused_status, not 2"
# A helper module that 5.1 cannot run refuses the whole package, by its path.
Scripts modules/YornUI/YornUI.psm1 $'function Get-Up {\n    Get-Uptime\n}'
Refused "modules/YornUI/YornUI.psm1:2:5: Windows PowerShell 5.1, which the launcher starts, has no command Get-Uptime" --package "$scripts"

# --check passes the default pair, and a pair with a warning, at once and
# without building anything.
passed="The package's 2 PowerShell files parse in Windows PowerShell 5.1, use nothing that the check knows it to lack and no file that the package lacks, and the two scripts can take what the launcher passes."
Scripts Install-Yorn-UI.ps1 $'if ($IsWindows) { exit 0 }'
for given in "" "--scripts $scripts"; do
  # shellcheck disable=SC2086 # the option and its folder, or nothing
  Build --check $given || Fail "--check $given failed: $(tail -n 3 "$work/build.log")"
  [ "$(tail -n 1 "$work/build.log")" = "$passed" ] || Fail "--check $given did not pass: $(tail -n 3 "$work/build.log")"
done
grep -q "^warning: Install-Yorn-UI.ps1:1:5: .* does not set [$]IsWindows" "$work/build.log" ||
  Fail "--check gave no warning for \$IsWindows: $(cat "$work/build.log")"
[ ! -e "$src/build/mingw" ] || Fail "--check built something: $src/build/mingw is there"
echo "--check passes the default pair and a pair with a warning, and builds nothing."
