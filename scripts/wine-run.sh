#!/usr/bin/env bash
# Runs a Windows program under Wine as the Windows tests need it: a prefix of
# their own, the ANSI code page 936 (Wine takes it from the zh_CN locale), no
# debug output, no prompts for Wine's .NET and HTML add-ons, and no menu
# entries on this machine for the shortcuts a setup program makes.
export WINEPREFIX=${VELMORA_WINEPREFIX:-$(cd "$(dirname "$0")/.." && pwd)/build-win/wine-prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export LC_ALL=zh_CN.UTF-8
exec wine "$@"
