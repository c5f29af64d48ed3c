#!/usr/bin/env bash
# Cross-builds a static libarchive (zlib only) for Windows from Debian's source package, cached by version and arch.
# Usage: scripts/build_win_libarchive.sh <i686|x86_64>
# Prints the install prefix on its last line. A complete prefix is reused as is.
set -euo pipefail

arch=${1:-}
case "$arch" in
  i686|x86_64) ;;
  *) echo "usage: $0 <i686|x86_64>" >&2; exit 2 ;;
esac
repo=$(cd "$(dirname "$0")/.." && pwd)
triplet=$arch-w64-mingw32
sysroot=/usr/$triplet
cache=${QUILLFORT_CACHE:-/var/cache/quillfort}
mkdir -p "$cache"

log() { echo "build_win_libarchive($arch): $*" >&2; }

# apt-get source needs the source archive in apt's lists; turn it on only when
# it is missing, and refresh the lists only then.
has_source() { apt-cache showsrc libarchive 2>/dev/null | grep -c '^Version:' >/dev/null; }

ensure_source_lists() {
  if has_source; then
    return
  fi
  log "enabling Debian's source archive"
  local deb822=/etc/apt/sources.list.d/debian.sources
  if [ -f "$deb822" ]; then
    sed -i 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb deb-src/' "$deb822"
  elif [ -f /etc/apt/sources.list ]; then
    grep -E '^deb[[:space:]]' /etc/apt/sources.list | sed 's/^deb/deb-src/' \
      > /etc/apt/sources.list.d/quillfort-src.list
  fi
  apt-get update -qq
  has_source || { log "no source package for libarchive in apt's sources"; exit 1; }
}

# The version that apt-get source would fetch, read from the .dsc it names.
source_version() {
  apt-get source --print-uris libarchive 2>/dev/null |
    sed -n "s/^'[^']*' libarchive_\([^ ]*\)\.dsc .*/\1/p"
}

# Both arches may be built at once: apt and the shared source tree are used
# by one of them at a time.
exec 8>"$cache/.lock-source"
flock 8
ensure_source_lists
version=$(source_version)
[ -n "$version" ] || { log "cannot tell libarchive's source version"; exit 1; }
prefix=$cache/libarchive-$version-$arch

# One build per prefix at a time; a second caller waits and then finds it done.
exec 9>"$cache/.lock-$arch"
flock 9

if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

started=$(date +%s)
srcroot=$cache/src-$version
srcdir=$srcroot/libarchive
if [ ! -f "$srcroot/.unpacked" ]; then
  log "fetching libarchive $version source"
  rm -rf "$srcroot"
  mkdir -p "$srcroot"
  # apt has checked the files against the signed archive index; dpkg-source's
  # own signature check has no keyring here and only warns, so its noise goes
  # to a log that is shown when something fails.
  (cd "$srcroot" && apt-get source --download-only libarchive &&
   dpkg-source -x libarchive_"$version".dsc libarchive) >"$srcroot/fetch.log" 2>&1 ||
    { cat "$srcroot/fetch.log" >&2; exit 1; }
  touch "$srcroot/.unpacked"
fi
flock -u 8

builddir=$(mktemp -d "$cache/build-$arch.XXXXXX")
staging=$prefix.partial
trap 'rm -rf "$builddir" "$staging"' EXIT
rm -rf "$staging"

# Everything but zlib is off. Cross-compiling, libarchive's one run-time check
# (whether zlib needs ZLIB_WINAPI) cannot run: Debian's mingw zlib does not,
# so its answer is preset. Without libgcc the regex search would fail unless it
# is told there is none. The static zlib is named, or the DLL import library
# would be taken.
log "configuring"
cmake -S "$srcdir" -B "$builddir" \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw-$arch.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DENABLE_ZLIB=ON \
  -DZLIB_LIBRARY="$sysroot/lib/libz.a" \
  -DZLIB_INCLUDE_DIR="$sysroot/include" \
  -DZLIB_WINAPI_EXITCODE=1 \
  -DZLIB_WINAPI_EXITCODE__TRYRUN_OUTPUT= \
  -DPOSIX_REGEX_LIB=NONE \
  -DENABLE_BZip2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_LZ4=OFF \
  -DENABLE_LZO=OFF -DENABLE_LIBB2=OFF -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF \
  -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF -DENABLE_CNG=OFF \
  -DENABLE_PCREPOSIX=OFF -DENABLE_LIBGCC=OFF \
  -DENABLE_ACL=OFF -DENABLE_XATTR=OFF -DENABLE_ICONV=OFF \
  -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF \
  -DENABLE_TEST=OFF -DENABLE_WERROR=OFF -DENABLE_INSTALL=OFF \
  >"$builddir/configure.log" 2>&1 || { cat "$builddir/configure.log" >&2; exit 1; }

log "building the static library"
cmake --build "$builddir" --target archive_static -j2 \
  >"$builddir/build.log" 2>&1 || { tail -n 50 "$builddir/build.log" >&2; exit 1; }

# Only the static library and its two public headers are needed.
mkdir -p "$staging/lib" "$staging/include" "$staging/share"
cp "$builddir/libarchive/libarchive_static.a" "$staging/lib/libarchive.a"
cp "$srcdir/libarchive/archive.h" "$srcdir/libarchive/archive_entry.h" "$staging/include/"
cp "$srcdir/COPYING" "$staging/share/libarchive-COPYING"
echo "libarchive $version for $triplet, zlib only" > "$staging/.complete"
rm -rf "$prefix"
mv "$staging" "$prefix"
log "done in $(( $(date +%s) - started )) s"
echo "$prefix"
