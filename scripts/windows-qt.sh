#!/usr/bin/env bash
# Builds a minimal Qt 6 for 64-bit Windows with mingw-w64 from Debian's
# qt6-base source of the version installed here (whose moc, rcc and uic serve
# as the host tools), with Debian's security patches, and installs it into a
# cache outside the clone:
#   ${XDG_CACHE_HOME:-$HOME/.cache}/velmora/qt-<version>-mingw-w64
# A stamp there holds the source version and a hash of this script and the
# files it builds with; a later run whose stamp matches reuses the build.
# Prints the install folder on its last line (stdout); all else goes to
# stderr. Takes about 16 minutes on 2 cores.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exec 3>&1 1>&2
"$here/scripts/install-packages.sh" "$here/packages.txt"
"$here/scripts/install-packages.sh" "$here/packages-windows.txt"

source_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev)
upstream=${source_version%%+*}
cache=${XDG_CACHE_HOME:-$HOME/.cache}/velmora
prefix=$cache/qt-$upstream-mingw-w64
work=$cache/qt-$upstream-mingw-w64-work
stamp="qt6-base $source_version
$(cat "$0" "$here/scripts/apt-sources.sh" "$here/cmake/mingw-w64-x86_64.cmake" | sha256sum | cut -d' ' -f1)"

mkdir -p "$cache"
# Work trees of the same clone share the cache: one build at a time.
exec 4>"$cache/qt.lock"
flock 4
if [[ -f $prefix/velmora-stamp && $(cat "$prefix/velmora-stamp") == "$stamp" ]]; then
    echo "Qt for mingw-w64: reusing $prefix"
    echo "$prefix" >&3
    exit 0
fi

start=$SECONDS
# Our toolchain less the static runtime: Qt's DLLs and the program share
# mingw's C++ runtime DLLs.
toolchain="include(\"$here/cmake/mingw-w64-x86_64.cmake\")
set(CMAKE_EXE_LINKER_FLAGS_INIT \"\")"
# Only what the program uses: Core, Gui, Widgets and Network, the Windows
# platform plugin, the image-format plugins, the Windows styles. The source
# has no tablet-input library (wintab). OpenGL is turned off through its
# input, which also turns off its dynamic loading (the Windows platform
# plugin does not compile with dynamic OpenGL on and OpenGL off). Direct2D
# stays on: the platform plugin needs the DirectWrite font database, which
# is built only with it.
configure=(
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake"
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix"
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++
    -DBUILD_SHARED_LIBS=ON -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF
    -DFEATURE_tabletevent=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF
    -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_openssl=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF
    -DFEATURE_testlib=OFF -DFEATURE_direct2d=ON
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
    -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_doubleconversion=OFF)
# A build that was cut off (CI stopped, Ctrl-C) goes on where it stopped when
# the source and the configuration are the same.
configured_as=$(printf '%s\n' "$source_version" "$toolchain" "${configure[@]}" | sha256sum | cut -d' ' -f1)
if [[ $(cat "$work/configured" 2>/dev/null) != "$configured_as" ]]; then
    rm -rf "$work" "$prefix"
    mkdir -p "$work"
    source "$here/scripts/apt-sources.sh"
    apt_sources_setup "$work/apt"
    # apt lists only what the current folder lacks, so ask from an empty one.
    (cd "$work/apt" && apt-get "${apt_options[@]}" -qq source --print-uris \
        "qt6-base=$source_version" 2>/dev/null) \
        | grep -E "^'.*\.(orig|debian)\.tar\.[a-z0-9]+' " \
        | while read -r uri name _size sum; do
            uri=${uri//\'/}
            curl -fsSL --retry 3 -o "$work/$name" "$uri"
            echo "${sum#SHA256:}  $work/$name" | sha256sum -c --quiet -
        done
    src=$work/qtbase
    mkdir -p "$src"
    tar -xf "$work"/qt6-base_*.orig.tar.* -C "$src" --strip-components=1
    tar -xf "$work"/qt6-base_*.debian.tar.* -C "$work"
    # Debian's fixes for published vulnerabilities; its other patches
    # concern Debian's own packaging and architectures.
    grep -E '^cve-' "$work/debian/patches/series" | while read -r patch; do
        patch -d "$src" -p1 -s < "$work/debian/patches/$patch"
    done
    fetched=$SECONDS
    echo "$toolchain" > "$work/toolchain.cmake"
    cmake -S "$src" -B "$work/build" -G Ninja "${configure[@]}"
    echo "$configured_as" > "$work/configured"
else
    echo "Qt for mingw-w64: going on with the build in $work"
    fetched=$SECONDS
fi
configured=$SECONDS

# Only the libraries and plugins the program loads are built and installed
# (the Direct2D, minimal and offscreen platform plugins, the TLS and touch
# plugins are left out); each folder's install rules run on their own.
cmake --build "$work/build" --parallel "${VELMORA_JOBS:-2}" --target \
    Widgets Network EntryPointImplementation QWindowsIntegrationPlugin \
    QJpegPlugin QGifPlugin QICOPlugin QWindowsVistaStylePlugin
rm -rf "$prefix"
for folder in . src; do
    cmake -DCMAKE_INSTALL_LOCAL_ONLY=ON -P "$work/build/$folder/cmake_install.cmake"
done
# The bundled libraries' folders are listed from the build tree (a pattern
# relative to the folder this runs in matched nothing, and left their CMake
# packages out of the install).
for folder in "$work"/build/src/3rdparty/*/ "$work"/build/src/{corelib,gui,widgets,network,entrypoint} \
    "$work"/build/src/plugins/platforms/windows "$work"/build/src/plugins/{imageformats,styles}; do
    [[ -f $folder/cmake_install.cmake ]] || continue
    cmake -P "$folder/cmake_install.cmake"
done
built=$SECONDS
echo "$stamp" > "$prefix/velmora-stamp"
rm -rf "$work"
printf 'Qt for mingw-w64: fetched, patched and configured in %ds, built and installed in %ds (%d min in all)\n' \
    $((configured - start)) $((built - configured)) $(((built - start) / 60))
echo "$prefix" >&3
