#!/usr/bin/env bash
# Builds the Windows package; installs whatever the machine lacks first.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

Step "Checking packages"
EnsurePackages "${BuildPackages[@]}"

Step "Windows build (MinGW-w64)"
cmake --preset mingw
cmake --build --preset mingw
