#!/usr/bin/env bash
# The author's check: ./build.sh, in a copy of the sources, reads both
# scripts with PowerShell's parser before anything is built. Each row
# changes one script of the default pair; a refusal must be one error line
# and leave dist/ as it was, a script that is accepted (read by the check
# itself, since a whole build takes minutes) may give one warning line.
# Needs RealPowerShell (scripts/common.sh's EnsurePowerShell).
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/common.sh
: "${RealPowerShell:?RealPowerShell must name pwsh; EnsurePowerShell sets it}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source tests/build-in-copy.sh
# Any earlier package: a refusal must leave it exactly as it is.
mkdir -p "$src/dist/Yorn-UI"
echo "an earlier build" >"$src/dist/Yorn-UI/Install-Yorn-UI.exe"

# Check OUTCOME WHERE SCRIPT TEXT: SCRIPT holding TEXT, beside the other
# default script, in a folder given with --scripts, or (WHERE "package") in
# the copy's own package/. OUTCOME is "refused:MESSAGE", "warned:MESSAGE" or
# "passed".
Check() {
  local outcome=$1 where=$2 script=$3 scripts=$work/scripts said
  local passed="Both scripts parse, hold nothing that Windows PowerShell 5.1 cannot parse, and can take what the launcher passes."
  rm -rf "$scripts" && cp -r package "$scripts"
  printf '%s\n' "$4" >"$scripts/$script"
  case $outcome:$where in
  refused:*:package)
    cp "$scripts/$script" "$src/package/$script"
    Refused "${outcome#refused:}"
    cp "package/$script" "$src/package/$script"
    ;;
  refused:*)
    Refused "${outcome#refused:}" --scripts "$scripts"
    ;;
  *)
    said=$("$RealPowerShell" -NoProfile -NonInteractive -File scripts/check-scripts.ps1 "$scripts" 2>&1) ||
      Fail "$script was refused: $said"
    if [ "$outcome" = passed ]; then
      [ "$said" = "$passed" ] || Fail "expected $script to pass, got: $said"
    else
      [[ $said == "warning: ${outcome#warned:}"* && ${said#*$'\n'} == "$passed" ]] ||
        Fail "expected one warning, \"${outcome#warned:}\", got: $said"
    fi
    echo "Accepted: $script: ${said%%$'\n'*}"
    ;;
  esac
}

cannot="Windows PowerShell 5.1, which the launcher starts, cannot parse"
Check "refused:Optimize-Yorn-UI.ps1:3:8: Missing closing ')' in expression." package Optimize-Yorn-UI.ps1 \
  $'param([int] $FPS)\nWrite-Output $FPS\n$x = (1'
Check "refused:Optimize-Yorn-UI.ps1:2:11: $cannot \`??\`" --scripts Optimize-Yorn-UI.ps1 $'param([int] $FPS)\n$x = $FPS ?? 60'
Check "refused:Optimize-Yorn-UI.ps1:2:6: $cannot \`??=\`" --scripts Optimize-Yorn-UI.ps1 $'param([int] $FPS)\n$FPS ??= 60'
Check "refused:Install-Yorn-UI.ps1:1:1: $cannot \`?.\`" --scripts Install-Yorn-UI.ps1 $'${env:HOME}?.Length'
Check "refused:Install-Yorn-UI.ps1:2:1: $cannot \`?[]\`" --scripts Install-Yorn-UI.ps1 $'$a = @(1)\n${a}?[0]'
Check "refused:Optimize-Yorn-UI.ps1:2:6: $cannot \`a ? b : c\`" --scripts Optimize-Yorn-UI.ps1 $'param([int] $FPS)\n$x = $FPS ? $FPS : 60'
Check "refused:Install-Yorn-UI.ps1:1:1: $cannot \`&&\`" --scripts Install-Yorn-UI.ps1 $'Get-Item . && exit 0'
Check "refused:Install-Yorn-UI.ps1:1:1: $cannot \`||\`" --scripts Install-Yorn-UI.ps1 $'Get-Item . || exit 1'
Check "refused:Install-Yorn-UI.ps1:3:1: $cannot \`clean {}\`" --scripts Install-Yorn-UI.ps1 \
  $'param([Parameter(ValueFromRemainingArguments = $true)] $Rest)\nprocess { $Rest }\nclean { exit 0 }'
Check "refused:Optimize-Yorn-UI.ps1:2:1: declares no -FPS parameter and takes no remaining arguments" --scripts \
  Optimize-Yorn-UI.ps1 $'[CmdletBinding()]\nparam([int] $Rate)\nexit 0'
Check "warned:Install-Yorn-UI.ps1:2:1: takes no remaining arguments" --scripts Install-Yorn-UI.ps1 \
  $'[CmdletBinding()]\nparam([string] $Path)\nexit 0'
Check passed --scripts Optimize-Yorn-UI.ps1 $'[CmdletBinding()]\nparam([Alias(\'FPS\')] [int] $Rate)\nexit 0'
Check passed --scripts Optimize-Yorn-UI.ps1 $'[CmdletBinding()]\nparam([int] $FPSLimit)\nexit 0'
Check passed --scripts Optimize-Yorn-UI.ps1 $'param([string] $Name)\n$args'
Check passed --scripts Optimize-Yorn-UI.ps1 "$(cat package/Optimize-Yorn-UI.ps1)"
echo "Each refusal names its script, line and column, and leaves dist/ as it was."
