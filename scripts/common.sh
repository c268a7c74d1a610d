# Shared by build.sh and test.sh: progress lines and the Debian packages that
# a fresh machine lacks.

Step() { printf '\n==> %s\n' "$*"; }

# EnsurePackages pkg...: installs whichever of the packages are missing, with
# one apt-get update first; does nothing when all are present.
EnsurePackages() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    echo "All needed packages are installed."
    return 0
  fi
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# What building and testing need: CMake and Ninja, the host compiler and
# GoogleTest, the MinGW-w64 cross compiler (posix threads), Python for the
# image's finishing step, and Wine.
BuildPackages=(cmake ninja-build g++ libgtest-dev googletest g++-mingw-w64-x86-64-posix python3 wine64 zip unzip)

# What the MSVC-ABI build adds: clang-cl, lld-link, and the LLVM tools that
# make the resources and the import library.
MsvcPackages=(clang-tools-14 lld-14 llvm-14)
