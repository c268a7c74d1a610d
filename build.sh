#!/usr/bin/env bash
# Builds the Windows package into dist/ and shows one launch under Wine;
# installs whatever the machine lacks first.
#   ./build.sh [--scripts DIR]
# --scripts packages another author's Install-Yorn-UI.ps1 and
# Optimize-Yorn-UI.ps1 from DIR instead of the project's default pair.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

scripts=package
while [ $# -gt 0 ]; do
  case "$1" in
  --scripts)
    [ $# -ge 2 ] || { echo "error: --scripts needs a folder" >&2; exit 2; }
    scripts=$2
    shift 2
    ;;
  *)
    echo "usage: $0 [--scripts DIR]" >&2
    exit 2
    ;;
  esac
done
# Refuse a folder without both scripts before spending time on a build.
package/make-package.sh --check "$scripts"
scripts=$(cd "$scripts" && pwd)

Step "Checking packages"
EnsurePackages "${BuildPackages[@]}"

Step "Windows build (MinGW-w64)"
cmake --preset mingw
cmake --build --preset mingw

Step "Package (scripts from $scripts)"
package/make-package.sh build/mingw dist "$scripts"
ls -l dist dist/Yorn-UI
cat dist/SHA256SUMS

Step "One launch under Wine"
scripts/demo-launch.sh dist/Yorn-UI/Install-Yorn-UI.exe build/mingw/tests/wine/powershell.exe --optimize 144

Step "Done"
echo "Package folder: $PWD/dist/Yorn-UI/"
echo "Zip:            $PWD/dist/Yorn-UI-$(cat build/mingw/version.txt).zip"
echo "Checksums:      $PWD/dist/SHA256SUMS"
