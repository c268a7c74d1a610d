#!/usr/bin/env bash
# Assembles the package from a Windows build:
#   make-package.sh BUILD_DIR OUT_DIR [SCRIPTS_DIR]
#   make-package.sh --check SCRIPTS_DIR   only checks that both scripts are there
# OUT_DIR/Yorn-UI/ gets the launcher, the command script and the two
# PowerShell scripts (from SCRIPTS_DIR, by default the project's own pair);
# beside it go Yorn-UI-<version>.zip and SHA256SUMS. Every file gets the
# same date and mode, so that one commit always gives the same bytes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

CheckScripts() {
  local script
  for script in Install-Yorn-UI.ps1 Optimize-Yorn-UI.ps1; do
    if [ ! -f "$1/$script" ]; then
      echo "error: $1 has no $script; a package needs both Install-Yorn-UI.ps1 and Optimize-Yorn-UI.ps1" >&2
      exit 2
    fi
  done
}

if [ "${1:-}" = --check ]; then
  CheckScripts "$2"
  exit 0
fi
build=$1
out=$2
scripts=${3:-$here}
CheckScripts "$scripts"

version=$(cat "$build/version.txt")
# The commit's own date, so that nothing depends on when the build ran.
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct 2>/dev/null || echo 315532800)}

package="$out/Yorn-UI"
rm -rf "$package" "$out/Yorn-UI-$version.zip" "$out/SHA256SUMS"
mkdir -p "$package"
cp "$build/runner/Install-Yorn-UI.exe" "$here/Install-Yorn-UI.cmd" "$package/"
cp "$scripts/Install-Yorn-UI.ps1" "$scripts/Optimize-Yorn-UI.ps1" "$package/"
files=(Install-Yorn-UI.cmd Install-Yorn-UI.exe Install-Yorn-UI.ps1 Optimize-Yorn-UI.ps1)
for file in "${files[@]}"; do
  chmod 644 "$package/$file"
  touch -d "@$epoch" "$package/$file"
done

# -X leaves out owner and extended times, -D directory entries; zip stores
# local time, so the zone is fixed too.
(cd "$out" && TZ=UTC zip -q -X -D "Yorn-UI-$version.zip" "${files[@]/#/Yorn-UI/}")
(cd "$out" && sha256sum "Yorn-UI-$version.zip" "${files[@]/#/Yorn-UI/}" >SHA256SUMS)
