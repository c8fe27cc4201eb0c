#!/usr/bin/env bash
# make-setup.sh STAGE OUTPUT: makes the setup program OUTPUT
# (velmora-pc-setup.exe) from the packed files in STAGE with NSIS
# (app/setup/velmora-pc-setup.nsi). Every file of STAGE is listed for setup
# to install and for the uninstaller to remove, so the uninstaller removes
# exactly what setup put there. Called by scripts/package-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
stage=$(realpath "$1")
output=$(realpath -m "$2")
files=$(dirname "$output")/setup-files.nsh

# NSIS paths: the packed file's path on this machine with "/", the
# installed one under $INSTDIR with "\".
windows() { local path=${1#.}; path=${path#/}; echo "${path//\//\\}"; }
{
    echo '!macro VELMORA_INSTALL_FILES'
    while read -r folder; do
        inside=$(windows "$folder")
        echo "    SetOutPath \"\$INSTDIR${inside:+\\$inside}\""
        while read -r file; do
            echo "    File \"$stage/${file#./}\""
        done < <(cd "$stage" && find "$folder" -mindepth 1 -maxdepth 1 -type f | sort)
    done < <(cd "$stage" && find . -type d | sort)
    echo '!macroend'
    echo '!macro VELMORA_UNINSTALL_FILES'
    while read -r file; do
        echo "    Delete \"\$INSTDIR\\$(windows "$file")\""
    done < <(cd "$stage" && find . -type f | sort)
    while read -r folder; do
        echo "    RMDir \"\$INSTDIR\\$(windows "$folder")\""
    done < <(cd "$stage" && find . -mindepth 1 -type d | sort -r)
    echo '!macroend'
} > "$files"

makensis -V2 -INPUTCHARSET UTF8 -DSTAGE="$stage" -DFILES="$files" -DICON="$PWD/app/icon/velmora.ico" \
    -DOUTFILE="$output" -DSIZE_KB="$(du -sk "$stage" | cut -f1)" app/setup/velmora-pc-setup.nsi
