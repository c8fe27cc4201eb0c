#!/usr/bin/env bash
# Cross-builds the whole program for 64-bit Windows (build-win-app/, warnings
# are errors) against the Qt that scripts/windows-qt.sh builds and the dlib
# of scripts/windows-dlib.sh (linked in statically), and packs
# build-win-app/velmora-pc-windows-x64.zip: velmora-pc.exe, velmora-photos.exe
# (the photo check from a command line), the Qt DLLs and
# plugins it loads, Qt's own Chinese texts (translations/, the .qm files of
# Debian's qt6-translations-l10n, the same Qt release and the same on every
# system), mingw's runtime DLLs, all stripped, and 使用说明.txt for
# school staff (GBK, CRLF, as Notepad on code page 936 reads it). Checks that
# every DLL a packed file imports is either packed or part of Windows. Then
# makes the setup program build-win-app/velmora-pc-setup.exe of the same
# files with NSIS (scripts/make-setup.sh), the way staff are told to install.
# -O2 rather than CMake's -O3: GCC 12 warns falsely about std::string
# copies at -O3 (-Wrestrict), and warnings are errors here.
# VELMORA_QT_WINDOWS_PREFIX may name a Qt for mingw-w64 built elsewhere;
# VELMORA_DOWNLOAD_HOST sets the download-lookup server's host (README).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-win-app

qt=${VELMORA_QT_WINDOWS_PREFIX:-$(scripts/windows-qt.sh | tail -n 1)}
dlib=$(scripts/windows-dlib.sh | tail -n 1)
scripts/windows-sources.sh build-win/third-party
cmake -S . -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64-qt.cmake \
    -DVELMORA_QT_WINDOWS_PREFIX="$qt" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DVELMORA_WITH_QT=ON -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_TOOLS=OFF \
    -DVELMORA_BUILD_BENCHMARKS=OFF -DVELMORA_BUILD_FUZZERS=OFF -DVELMORA_WERROR=ON \
    -DVELMORA_THIRD_PARTY_SOURCE_DIR="$PWD/build-win/third-party" -DVELMORA_DLIB_PREFIX="$dlib" \
    ${VELMORA_DOWNLOAD_HOST:+-DVELMORA_DOWNLOAD_HOST="$VELMORA_DOWNLOAD_HOST"} >/dev/null
cmake --build "$build" --parallel "${VELMORA_JOBS:-2}" --target velmora-pc velmora-photos

stage=$build/package
rm -rf "$stage"
mkdir -p "$stage/platforms" "$stage/imageformats" "$stage/styles" "$stage/translations"
cp "$build/velmora-pc.exe" "$build/velmora-photos.exe" "$stage/"
cp "$qt"/bin/Qt6{Core,Gui,Widgets,Network}.dll "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
# The photo preview shows JPEG; the QR pictures are BMP, which Qt reads itself.
cp "$qt/plugins/imageformats/qjpeg.dll" "$stage/imageformats/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
# Message-box buttons, the save and folder dialogs in Chinese; the program
# loads them from its own translations folder (app/QtTranslations.h).
for language in zh_CN zh_TW; do
    cp "/usr/share/qt6/translations/qtbase_$language.qm" "$stage/translations/"
done
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    cp "$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")" "$stage/"
done
find "$stage" -name '*.exe' -o -name '*.dll' | xargs x86_64-w64-mingw32-strip --strip-unneeded
iconv -f UTF-8 -t GBK docs/windows/使用说明.txt | sed 's/$/\r/' > "$stage/使用说明.txt"

# Explorer shows the program's icon and version information.
/usr/bin/python3 - "$stage/velmora-pc.exe" <<'PY' || { echo "velmora-pc.exe lacks its icon or version information" >&2; exit 1; }
import re, sys
exe = open(sys.argv[1], "rb").read()
def has(key, value):
    # A key, its end and up to one unit of padding, then the value.
    text = lambda t: re.escape(t.encode("utf-16-le"))
    return re.search(text(key) + b"(\x00\x00){1,2}" + text(value + "\0"), exe) is not None
ok = has("FileDescription", "Velmora-PC\u7aef") and has("ProductVersion", "10.1") \
    and has("OriginalFilename", "velmora-pc.exe")
sys.exit(0 if ok and exe.count(b"\x89PNG") >= 6 else 1)
PY

# Every imported DLL must be packed or come with Windows.
windows_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comdlg32|shlwapi|ws2_32|iphlpapi|winmm|version|netapi32|userenv|imm32|dwmapi|uxtheme|wtsapi32|setupapi|d3d9|d3d11|dxgi|d2d1|dwrite|crypt32|secur32|dnsapi|winhttp|mpr|authz|shcore|winspool\.drv|msvcrt|api-ms-win-.*)\.dll$'
missing=$(find "$stage" -name '*.exe' -o -name '*.dll' | while read -r file; do
        x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'
    done | sort -u | while read -r dll; do
        lower=${dll,,}
        [[ $lower =~ $windows_dlls ]] || [[ -n $(find "$stage" -iname "$dll") ]] || echo "$dll"
    done)
if [[ -n $missing ]]; then
    echo "Imported but not packed: $missing" >&2
    exit 1
fi

zip=$build/velmora-pc-windows-x64.zip
rm -f "$zip"
# Python's zipfile marks the Chinese file name as UTF-8, which Windows'
# own unpacking honours.
(cd "$stage" && /usr/bin/python3 - "$PWD/../velmora-pc-windows-x64.zip" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
    for folder, _, files in sorted(os.walk(".")):
        for name in sorted(files):
            path = os.path.join(folder, name)[2:]
            archive.write(path, path)
PY
)
echo "Windows package: $zip, $(( $(stat -c %s "$zip") / 1024 )) KiB ($(du -sk "$stage" | cut -f1) KiB unpacked)"

setup=$build/velmora-pc-setup.exe
scripts/make-setup.sh "$stage" "$setup"
echo "Setup program: $setup, $(( $(stat -c %s "$setup") / 1024 )) KiB"
