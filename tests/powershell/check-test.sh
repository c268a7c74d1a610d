#!/usr/bin/env bash
# The author's check: the facts its data must hold (compatibility-facts.ps1),
# its rules, fixes and report, one row each, in one PowerShell process
# (check-rules.ps1, its SARIF validated against the published schema), and
# its docs against its data (check-docs.ps1); then the command as an author
# runs it on its own, from a pre-commit hook as the docs give it, and
# through ./build.sh, in a copy of the sources: a refusal must be one error
# line per problem and leave dist/ as it was, with or without --check, and
# --check must build nothing. Needs RealPowerShell (scripts/common.sh's
# EnsurePowerShell).
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/common.sh
: "${RealPowerShell:?RealPowerShell must name pwsh; EnsurePowerShell sets it}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The published SARIF 2.1.0 schema, from the NuGet package Sarif.Sdk 5.9.0,
# fetched once into build/ by dotnet, as the compatibility data's generator
# fetches its reference assemblies.
schema=build/sarif-schema/sarif.sdk/5.9.0/Schemata/sarif-2.1.0.json
schema_option=()
if [ ! -f "$schema" ] && command -v dotnet >/dev/null; then
  printf '%s\n' '<Project Sdk="Microsoft.NET.Sdk">' \
    '  <PropertyGroup><TargetFramework>netstandard2.0</TargetFramework></PropertyGroup>' \
    '  <ItemGroup><PackageDownload Include="Sarif.Sdk" Version="[5.9.0]" /></ItemGroup>' \
    '</Project>' >"$work/schema.csproj"
  dotnet restore "$work/schema.csproj" --packages build/sarif-schema >/dev/null || Fail "dotnet could not fetch Sarif.Sdk 5.9.0"
fi
if [ -f "$schema" ]; then
  schema_option=(-SarifSchema "$schema")
else
  echo "No dotnet to fetch the SARIF schema with: the SARIF log is checked without it."
fi
"$RealPowerShell" -NoProfile -NonInteractive -File tests/powershell/compatibility-facts.ps1
"$RealPowerShell" -NoProfile -NonInteractive -File tests/powershell/check-rules.ps1 ${schema_option[@]+"${schema_option[@]}"}
"$RealPowerShell" -NoProfile -NonInteractive -File tests/powershell/check-docs.ps1

# The command on its own, as pwsh -File hands it its arguments: a folder
# and a single file, warnings made errors, GitHub's form; and a bad option.
check=$PWD/check/check-scripts.ps1
mkdir -p "$work/alone/package"
cp package/*.ps1 "$work/alone/package/"
printf '%s\n' $'if ($IsWindows) { exit 0 }' >"$work/alone/package/Install-Yorn-UI.ps1"
printf '%s\n' $'"`e[1mbold"' >"$work/alone/lone.ps1"
status=0
(cd "$work/alone" && "$RealPowerShell" -NoProfile -NonInteractive -File "$check" --format github --strict package lone.ps1 >"$work/out" 2>&1) || status=$?
[ "$status" -eq 2 ] || Fail "check-scripts.ps1 --format github --strict exited $status, not 2: $(cat "$work/out")"
[ "$(sed 's/title=\([A-Za-z0-9]*\)::.*/title=\1/' "$work/out")" = "$(printf '%s\n' \
  '::error file=package/Install-Yorn-UI.ps1,line=1,col=5,title=VariableOnly7' '::error file=lone.ps1,line=1,col=1,title=EscapeOnly7')" ] ||
  Fail "check-scripts.ps1 --format github --strict wrote: $(cat "$work/out")"
status=0
"$RealPowerShell" -NoProfile -NonInteractive -File "$check" --format=sarif package >"$work/out" 2>&1 || status=$?
[ "$status" -eq 2 ] && [ "$(head -n 1 "$work/out")" = "error: no option --format=sarif" ] ||
  Fail "check-scripts.ps1 --format=sarif exited $status: $(cat "$work/out")"
echo "The check on its own takes a folder and a file, --format and --strict, and refuses an unknown option."

# The pre-commit hook as the docs give it, in a scratch repository with the
# check as tools/yorn-check: it passes the default pair, and refuses a
# commit of a script that 5.1 cannot run, saying why.
repository=$work/repository
mkdir -p "$repository/tools"
cp -r check "$repository/tools/yorn-check"
cp -r package "$repository/package"
git -C "$repository" init -q
awk '/^\*\*From a pre-commit hook\.\*\*/ { found = 1 } found && /^```$/ { if (inside) exit; } found && inside { print } found && /^```sh$/ { inside = 1 }' \
  docs/package-authors.md >"$repository/.git/hooks/pre-commit"
chmod +x "$repository/.git/hooks/pre-commit"
Commit() { git -C "$repository" add -A && git -C "$repository" -c user.name=Author -c user.email=author@example.invalid commit -q -m "$1" >"$work/out" 2>&1; }
Commit "The default pair" || Fail "the pre-commit hook refused the default pair: $(cat "$work/out")"
printf '%s\n' "\$h = '{}' | ConvertFrom-Json -AsHashtable" >"$repository/package/Install-Yorn-UI.ps1"
! Commit "A script for PowerShell 7" || Fail "the pre-commit hook let a script with -AsHashtable be committed"
grep -q '^package/Install-Yorn-UI.ps1:1:30: error: .* -AsHashtable on ConvertFrom-Json \[ParameterOnly7\]$' "$work/out" ||
  Fail "the pre-commit hook did not say why it refused: $(cat "$work/out")"
echo "The pre-commit hook of the docs passes the default pair and refuses -AsHashtable."

source tests/build-in-copy.sh
# Any earlier package: a refusal must leave it exactly as it is.
mkdir -p "$src/dist/Yorn-UI"
echo "an earlier build" >"$src/dist/Yorn-UI/Install-Yorn-UI.exe"
scripts=$work/scripts

# Scripts SCRIPT TEXT: the default pair in $scripts, but SCRIPT holding TEXT.
Scripts() {
  rm -rf "$scripts" && cp -r package "$scripts"
  printf '%s\n' "$2" >"$scripts/$1"
}

# A refusal in the copy's own package/, and one given with --scripts, each
# by the whole build and by --check alone.
Scripts Optimize-Yorn-UI.ps1 $'param([int] $FPS)\nWrite-Output $FPS\n$x = (1'
cp "$scripts/Optimize-Yorn-UI.ps1" "$src/package/"
parse="Optimize-Yorn-UI.ps1:3:8: error: Missing closing ')' in expression."
Refused "$parse"
Refused "$parse" --check
cp package/Optimize-Yorn-UI.ps1 "$src/package/"
Scripts Install-Yorn-UI.ps1 $'$h = \'{}\' | ConvertFrom-Json -AsHashtable'
absent="Install-Yorn-UI.ps1:1:30: error: Windows PowerShell 5.1, which the launcher starts, has no parameter -AsHashtable on ConvertFrom-Json"
Refused "$absent" --scripts "$scripts"
Refused "$absent" --check --scripts "$scripts"
[ "$refused_status" -eq 2 ] || Fail "--check refused with exit $refused_status, not 2"

# --check passes the default pair, and a pair with a warning, at once and
# without building anything.
passed="Both scripts parse in Windows PowerShell 5.1, use nothing that the check knows it to lack, and can take what the launcher passes."
Scripts Install-Yorn-UI.ps1 $'if ($IsWindows) { exit 0 }'
for given in "" "--scripts $scripts"; do
  # shellcheck disable=SC2086 # the option and its folder, or nothing
  Build --check $given || Fail "--check $given failed: $(tail -n 3 "$work/build.log")"
  [ "$(tail -n 1 "$work/build.log")" = "$passed" ] || Fail "--check $given did not pass: $(tail -n 3 "$work/build.log")"
done
grep -q "^Install-Yorn-UI.ps1:1:5: warning: .* does not set [$]IsWindows.* \\[VariableOnly7\\]$" "$work/build.log" ||
  Fail "--check gave no warning for \$IsWindows: $(cat "$work/build.log")"
[ ! -e "$src/build/mingw" ] || Fail "--check built something: $src/build/mingw is there"
echo "--check passes the default pair and a pair with a warning, and builds nothing."

# --strict refuses that pair; --format sarif leaves the SARIF log alone on
# standard output, the build's own lines on standard error.
Refused "Install-Yorn-UI.ps1:1:5: error: Windows PowerShell 5.1, which the launcher starts, does not set \$IsWindows" --check --strict --scripts "$scripts"
status=0
(cd "$src" && timeout 600 ./build.sh --check --format sarif --scripts "$scripts" </dev/null >"$work/build.sarif" 2>"$work/build.log") || status=$?
[ "$status" -eq 0 ] || Fail "--check --format sarif exited $status: $(tail -n 3 "$work/build.log")"
python3 -c 'import json, sys; log = json.load(open(sys.argv[1])); assert [r["ruleId"] for r in log["runs"][0]["results"]] == ["VariableOnly7"]' "$work/build.sarif" ||
  Fail "--check --format sarif wrote more or less than the SARIF log of one warning: $(head -c 300 "$work/build.sarif")"
echo "--check --strict refuses the warning, and --check --format sarif writes the SARIF log alone on standard output."
