#!/usr/bin/env bash
# Builds the Windows package into dist/ and shows one launch under Wine;
# installs whatever the machine lacks first.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

Step "Checking packages"
EnsurePackages "${BuildPackages[@]}"

Step "Windows build (MinGW-w64)"
cmake --preset mingw
cmake --build --preset mingw

Step "Package"
package=dist/Yorn-UI
rm -rf dist
mkdir -p "$package"
cp build/mingw/runner/Install-Yorn-UI.exe "$package/"
ls -l "$package"

Step "One launch under Wine"
scripts/demo-launch.sh "$package/Install-Yorn-UI.exe" build/mingw/tests/wine/powershell.exe --optimize 144

Step "Done: the package is in $package/"
