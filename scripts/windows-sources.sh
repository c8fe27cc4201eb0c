#!/usr/bin/env bash
# Fetches the Debian sources of FreeXL and qrcodegen (the versions the native
# build links) into the folder $1 and unpacks them, for the Windows build,
# which compiles them with mingw-w64. The sources come from the archives this
# machine's apt configuration names (scripts/apt-sources.sh), through a
# source list of the script's own, so that configuration is left as it is.
set -euo pipefail
target=$1
mkdir -p "$target"
target=$(cd "$target" && pwd)
if compgen -G "$target/freexl-*/src/freexl.c" >/dev/null \
    && compgen -G "$target/QR-Code-generator-*/cpp/qrcodegen.cpp" >/dev/null; then
    exit 0
fi

apt_dir=$target/apt
source "$(dirname "$0")/apt-sources.sh"
apt_sources_setup "$apt_dir"
# The same versions as the installed libraries the native build uses.
freexl=$(dpkg-query -W -f='${source:Version}' libfreexl-dev)
qrcodegen=$(dpkg-query -W -f='${source:Version}' libqrcodegencpp-dev)
# Only the upstream tarballs are needed (Debian's own changes to these two
# concern packaging), each checked against the archive's SHA-256 sum.
# (apt lists only what the current folder lacks, so ask from an empty one)
(cd "$apt_dir" && apt-get "${apt_options[@]}" -qq source --print-uris \
    "freexl=$freexl" "qr-code-generator=$qrcodegen" 2>/dev/null) \
    | grep -E "^'.*\.orig\.tar\.[a-z0-9]+' " \
    | while read -r uri name _size sum; do
        uri=${uri//\'/}
        curl -fsSL --retry 3 -o "$target/$name" "$uri"
        echo "${sum#SHA256:}  $target/$name" | sha256sum -c --quiet -
        tar -xf "$target/$name" -C "$target"
    done
compgen -G "$target/freexl-*/src/freexl.c" >/dev/null
compgen -G "$target/QR-Code-generator-*/cpp/qrcodegen.cpp" >/dev/null
