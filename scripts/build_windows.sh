#!/usr/bin/env bash
# Cross-builds the Windows programs: build-win32/ (i686, the shipped one) and build-win64/ (x86_64, the one Wine runs here).
# Usage: scripts/build_windows.sh [extra cmake arguments for both builds...]
# Installs what is missing (Debian, as root), builds libarchive once per
# version and arch (cached under ${QUILLFORT_CACHE:-/var/cache/quillfort}).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 libz-mingw-w64-dev
          dpkg-dev googletest)
bash scripts/install_missing.sh "${packages[@]}"

# The two libraries build side by side: much of a build is its configure
# step, which runs on one core.
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
bash scripts/build_win_libarchive.sh i686 >"$logs/i686" &
i686_job=$!
bash scripts/build_win_libarchive.sh x86_64 >"$logs/x86_64" &
x86_64_job=$!
wait "$i686_job" || { echo "libarchive for i686 failed" >&2; exit 1; }
wait "$x86_64_job" || { echo "libarchive for x86_64 failed" >&2; exit 1; }

# Only 64-bit programs run here (under Wine), so the unit tests are built
# for x86_64 alone.
for arch in i686 x86_64; do
  case $arch in
    i686) build=build-win32 tests=OFF ;;
    x86_64) build=build-win64 tests=ON ;;
  esac
  prefix=$(tail -n1 "$logs/$arch")
  echo "== $build ($arch), libarchive from $prefix"
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-mingw-$arch.cmake" \
    -DQUILLFORT_LIBARCHIVE_PREFIX="$prefix" -DQUILLFORT_TESTS=$tests "$@" >/dev/null
  cmake --build "$build" -j2
done

for build in build-win32 build-win64; do
  for exe in "$build"/Quillfort.exe "$build"/tests/quillfort_tests.exe; do
    if [ -f "$exe" ]; then printf '%10d bytes  %s\n' "$(stat -c %s "$exe")" "$exe"; fi
  done
done
