#!/usr/bin/env bash
# Every test: installs what is missing, builds, and runs the suites.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

Step "Checking packages"
EnsurePackages "${BuildPackages[@]}" clang-format clang-tidy cppcheck shellcheck \
  osslsigncode openssl softhsm2 libengine-pkcs11-openssl python3

Step "Host build and unit tests"
cmake --preset host
cmake --build --preset host
ctest --preset host

Step "Host unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset host-sanitize
cmake --build --preset host-sanitize
ctest --preset host-sanitize

Step "Layout and static analysis"
scripts/lint.sh

Step "Windows build (MinGW-w64) and the tests under Wine"
cmake --preset mingw
cmake --build --preset mingw
ctest --preset mingw

Step "Windows build (MSVC ABI: clang-cl and lld-link) and the same tests under Wine"
EnsurePackages "${MsvcPackages[@]}"
cmake --preset msvc
cmake --build --preset msvc
ctest --preset msvc

Step "Package: reproducible, checksummed, other authors' scripts"
tests/package-test.sh

Step "Releases: version, icon, each way of signing, and what is refused"
tests/release-test.sh

Step "Fuzzing the launch planning (about a minute)"
fuzz/run.sh 60

Step "All tests passed"
