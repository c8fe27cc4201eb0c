#!/usr/bin/env bash
# Builds dlib for 64-bit Windows with mingw-w64 from Debian's source of the
# version installed here (libdlib-dev), with only what the face detector
# needs: a static library without its GUI, BLAS, LAPACK, CUDA, FFT or image
# file support, and installs it into a cache outside the clone:
#   ${XDG_CACHE_HOME:-$HOME/.cache}/velmora/dlib-<version>-mingw-w64
# A stamp there holds the source version and a hash of this script and the
# files it builds with; a later run whose stamp matches reuses the build.
# Prints the install folder on its last line (stdout); all else goes to
# stderr. Takes a few minutes on 2 cores.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exec 3>&1 1>&2
"$here/scripts/install-packages.sh" "$here/packages.txt"
"$here/scripts/install-packages.sh" "$here/packages-windows.txt"

source_version=$(dpkg-query -W -f='${source:Version}' libdlib-dev)
upstream=${source_version%%+*}
cache=${XDG_CACHE_HOME:-$HOME/.cache}/velmora
prefix=$cache/dlib-$upstream-mingw-w64
work=$cache/dlib-$upstream-mingw-w64-work
stamp="dlib $source_version
$(cat "$0" "$here/scripts/apt-sources.sh" "$here/cmake/mingw-w64-x86_64.cmake" | sha256sum | cut -d' ' -f1)"

mkdir -p "$cache"
# Work trees of the same clone share the cache: one build at a time.
exec 4>"$cache/dlib.lock"
flock 4
if [[ -f $prefix/velmora-stamp && $(cat "$prefix/velmora-stamp") == "$stamp" ]]; then
    echo "dlib for mingw-w64: reusing $prefix"
    echo "$prefix" >&3
    exit 0
fi

start=$SECONDS
rm -rf "$work" "$prefix"
mkdir -p "$work"
source "$here/scripts/apt-sources.sh"
apt_sources_setup "$work/apt"
# Only the upstream tarball: Debian's own changes concern its packaging and
# the shared library. Checked against the archive's SHA-256 sum. (apt lists
# only what the current folder lacks, so ask from an empty one.)
(cd "$work/apt" && apt-get "${apt_options[@]}" -qq source --print-uris "dlib=$source_version" 2>/dev/null) \
    | grep -E "^'.*\.orig\.tar\.[a-z0-9]+' " \
    | while read -r uri name _size sum; do
        uri=${uri//\'/}
        curl -fsSL --retry 3 -o "$work/$name" "$uri"
        echo "${sum#SHA256:}  $work/$name" | sha256sum -c --quiet -
    done
src=$work/dlib
mkdir -p "$src"
tar -xf "$work"/dlib_*.orig.tar.* -C "$src" --strip-components=1
fetched=$SECONDS

# dlib's own build of the library (its folder dlib/), with everything off
# that the detector does not use; SSE2 only, which every 64-bit PC has. Of
# the library, the program links only what unpacks the detector's model
# (base64 and the entropy decoder); the detector itself is templates.
cmake -S "$src/dlib" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DDLIB_NO_GUI_SUPPORT=ON -DDLIB_ENABLE_ASSERTS=OFF \
    -DDLIB_USE_BLAS=OFF -DDLIB_USE_LAPACK=OFF -DDLIB_USE_CUDA=OFF -DDLIB_USE_MKL_FFT=OFF \
    -DDLIB_USE_FFTW=OFF -DDLIB_LINK_WITH_SQLITE3=OFF -DDLIB_JPEG_SUPPORT=OFF -DDLIB_PNG_SUPPORT=OFF \
    -DDLIB_GIF_SUPPORT=OFF -DDLIB_WEBP_SUPPORT=OFF \
    -DUSE_SSE4_INSTRUCTIONS=OFF -DUSE_AVX_INSTRUCTIONS=OFF
cmake --build "$work/build" --parallel "${VELMORA_JOBS:-2}"
cmake --install "$work/build" >/dev/null
built=$SECONDS
echo "$stamp" > "$prefix/velmora-stamp"
rm -rf "$work"
printf 'dlib for mingw-w64: fetched in %ds, built and installed in %ds\n' \
    $((fetched - start)) $((built - fetched))
echo "$prefix" >&3
