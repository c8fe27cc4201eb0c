#!/usr/bin/env bash
# Runs the Windows package as a school would, under Wine with code page 936
# on a virtual screen: build-win-app/velmora-pc-setup.exe installed silently
# (/S) into a folder with a Chinese name, C:\学校软件\照片程序, holding the
# zip's files and an uninstaller, with its Start-menu and desktop shortcuts
# and its entry under Settings -> Apps; a GBK set.ini there naming a Chinese
# receive folder, kept by a second install over the first. The installed
# program's window must appear with its title and both phone
# ports must listen; the native phone simulator sends two photos, one into a
# class folder, one with a "_" name, and both must land bit-exact under their
# Chinese names, three whose names Windows refuses under the form every PC
# stores them in, and so must a burst of twelve from a phone on Wi-Fi;
# closing the window must end the program with exit code 0
# and leave set.ini as it was. The installed velmora-photos.exe must frame
# a portrait photo by the head as the native build does and list a photo
# without a face with its reason. The address panel must list the address of
# the adapter with the default route last, and its QR code must hold it.
# The silent uninstall must then leave nothing of the program but set.ini,
# which it says it keeps.
# Runs in a network namespace of its own, so the fixed ports never meet
# another program's. Needs the native build (build/) for the phone
# simulator and the QR decoder. Leaves a screenshot in
# build-win-app/smoke/screenshot.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [[ ${1:-} != --inside ]]; then
    cmake --build build --target velmora-phone-sim velmora-qr-decode velmora-photos
    # Wine creates sockets in its server: one started outside the namespace
    # would open the ports there. This prefix's server ends first.
    export VELMORA_WINEPREFIX=${VELMORA_WINEPREFIX:-$root/build-win/wine-prefix}
    WINEPREFIX=$VELMORA_WINEPREFIX wineserver -k 2>/dev/null || true
    WINEPREFIX=$VELMORA_WINEPREFIX wineserver -w 2>/dev/null || true
    unshare=(unshare -n)
    [[ $(id -u) -eq 0 ]] || unshare=(unshare -rn)
    exec "${unshare[@]}" xvfb-run -a -s '-screen 0 1024x768x24' "$0" --inside
fi

# A LAN adapter with the default route whose name marks it as a virtual
# switch's (as a Hyper-V external switch's "vEthernet" adapter is), and a
# physical-looking adapter without it: the LAN address must come last.
ip link set lo up
ip link add vethernet0 type veth peer name vethernet1
ip link add eth0 type veth peer name eth1
ip addr add 192.168.77.5/24 dev vethernet0
ip addr add 10.0.3.7/24 dev eth0
for adapter in vethernet0 vethernet1 eth0 eth1; do ip link set "$adapter" up; done
ip route add default via 192.168.77.1 dev vethernet0

smoke=$root/build-win-app/smoke
rm -rf "$smoke"
receive=$smoke/收到的照片
mkdir -p "$receive" "$smoke/photos"

fail() {
    echo "Windows smoke test: $*" >&2
    [[ -n ${program:-} ]] && kill "$program" 2>/dev/null
    exit 1
}

# Installed as IT staff roll it out. Wine links a user's desktop to the
# home folder; the prefix (made first if new) gets a desktop of its own.
prefix=$VELMORA_WINEPREFIX
scripts/wine-run.sh wineboot >/dev/null 2>&1 || true
for desktop in "$prefix"/drive_c/users/*/Desktop; do
    [[ -L $desktop ]] && rm "$desktop" && mkdir "$desktop"
done
app=$prefix/drive_c/学校软件/照片程序
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora-PC'
install() {
    scripts/wine-run.sh build-win-app/velmora-pc-setup.exe /S '/D=C:\学校软件\照片程序' \
        || fail "setup ended with exit code $?"
}
rm -rf "$app"
install
# Where the shortcuts are, below the user's profile folder.
shortcuts() { find "$prefix/drive_c/users" -name 'Velmora-PC端.lnk' -printf '%P\n' | sed 's#^[^/]*/##' | sort; }
[[ $(shortcuts) == $'AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Velmora-PC端.lnk\nDesktop/Velmora-PC端.lnk' ]] \
    || fail "the shortcuts are not in the Start menu and on the desktop: $(shortcuts)"
scripts/wine-run.sh reg query "$uninstall_key" /v UninstallString >/dev/null \
    || fail "no entry under Settings -> Apps"
# The zip's files and the uninstaller, nothing else.
diff <(/usr/bin/python3 -c 'import sys, zipfile; print("\n".join(sorted(n for n in zipfile.ZipFile(sys.argv[1]).namelist() if not n.endswith("/"))))' \
        build-win-app/velmora-pc-windows-x64.zip) \
    <(cd "$app" && find . -type f ! -name uninstall.exe -printf '%P\n' | sort) >&2 \
    || fail "the installed files are not the zip's"
[[ -f $app/uninstall.exe ]] || fail "no uninstaller"
windows_receive="Z:${receive//\//\\}"
printf '[保存目录]\r\n最后目录=%s\r\n' "$windows_receive" | iconv -f UTF-8 -t GBK > "$app/set.ini"
cp "$app/set.ini" "$smoke/set.ini.before"
# An update over the installed program keeps the receive folder chosen.
install
cmp -s "$smoke/set.ini.before" "$app/set.ini" || fail "installing again changed set.ini"
x86_64-w64-mingw32-gcc-posix -municode -O2 -Wall -Werror -o "$smoke/close_window.exe" \
    tests/windows/close_window.c
convert -size 640x480 plasma:red-blue -quality 90 "$smoke/photos/one.jpg"
convert -size 480x640 gradient:yellow-green -quality 85 "$smoke/photos/two.jpg"

# wait_for SECONDS COMMAND...: polls COMMAND every half second.
wait_for() {
    local until=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < until)) || return 1
        sleep 0.5
    done
}
window_shown() { xwininfo -root -tree | grep -qF '"Velmora-PC端10.1"'; }
listening() { [[ -n $(ss -Hltn "sport = :$1") ]]; }

# The upload export from the command line, as IT staff run it: a photo of
# the astronaut portrait framed by her head as the native program frames
# it, and a photo without a face turned away with its reason.
export_test=$smoke/export
mkdir -p "$export_test/recv/1班"
convert tests/portraits/data/astronaut.ppm tests/portraits/data/astronaut-mask.pbm \
    -alpha off -compose CopyOpacity -composite -crop 512x340+0+0 +repage -resize 400% "$export_test/cutout.png"
# Her head (rows 62-708 of the cut-out, centred on column 908) 32 % of the
# height, its centre in the middle across.
convert -size 1512x2016 'xc:rgb(120,180,235)' "$export_test/cutout.png" -geometry -152+300 -compose Over \
    -composite -quality 92 "$export_test/recv/1班/11010519491231002X.jpg"
convert -size 1512x2016 'xc:rgb(120,180,235)' -quality 92 "$export_test/recv/1班/李四.jpg"
printf 'S1\t张三\t11010519491231002X\t1班\r\nS1\t李四\t\t1班\r\n' > "$export_test/roster.txt"
windows() { local path=$1; echo "Z:${path//\//\\}"; }
code=0
build/velmora-photos export "$export_test/roster.txt" "$export_test/recv" "$export_test/native" \
    > "$export_test/native.txt" || code=$?
((code == 1)) || fail "the native export ended with exit code $code, not 1"
code=0
scripts/wine-run.sh "$app/velmora-photos.exe" export "$(windows "$export_test/roster.txt")" \
    "$(windows "$export_test/recv")" "$(windows "$export_test/windows")" > "$export_test/windows.txt" || code=$?
((code == 1)) || fail "velmora-photos.exe export ended with exit code $code, not 1"
# (A Windows console's lines end in CR LF.)
tr -d '\r' < "$export_test/windows.txt" | grep -qxF '李四 S1_1班_李四：未找到人脸，需重拍' \
    || fail "velmora-photos.exe did not list the photo without a face: $(cat "$export_test/windows.txt")"
framed=$export_test/windows/1班/11010519491231002X.jpg
[[ $(identify -format '%wx%h' "$framed" 2>/dev/null) == 358x441 && $(stat -c %s "$framed") -lt 60000 ]] \
    || fail "velmora-photos.exe wrote no 358 x 441 photo under 60,000 bytes"
# Framed as natively: the same part of the photo (the two JPEG writers
# differ by their rounding only).
psnr=$(compare -metric PSNR "$framed" "$export_test/native/1班/11010519491231002X.jpg" null: 2>&1 || true)
/usr/bin/python3 -c 'import sys; sys.exit(0 if float(sys.argv[1]) >= 35 else 1)' "${psnr%% *}" \
    || fail "velmora-photos.exe framed the photo otherwise than natively (PSNR $psnr dB)"
echo "Windows smoke test: velmora-photos.exe framed the photo as natively (PSNR $psnr dB)"

started=$SECONDS
LC_ALL=zh_CN.UTF-8 scripts/wine-run.sh "$app/velmora-pc.exe" &
program=$!
wait_for 120 window_shown || fail "no window titled Velmora-PC端10.1"
wait_for 30 listening 3456 || fail "port 3456 does not listen"
wait_for 30 listening 3455 || fail "port 3455 does not listen"
echo "Windows smoke test: window and ports up after $((SECONDS - started)) s"

build/velmora-phone-sim "一年级1班\\张三.jpg=$smoke/photos/one.jpg" "李_四.jpg=$smoke/photos/two.jpg" \
    || fail "the phone simulator could not send the photos"
landed() { cmp -s "$1" "$2"; }
wait_for 20 landed "$smoke/photos/one.jpg" "$receive/一年级1班/张三.jpg" \
    || fail "一年级1班/张三.jpg did not land bit-exact"
wait_for 20 landed "$smoke/photos/two.jpg" "$receive/无身份证照片/李_四.jpg" \
    || fail "无身份证照片/李_四.jpg did not land bit-exact"
# Names Windows refuses: a device name, a "|", a folder and a file ending in
# a dot land under the form every PC stores them in.
build/velmora-phone-sim "二年级2班\\CON.jpg=$smoke/photos/one.jpg" "二年级2班\\李|四.jpg=$smoke/photos/two.jpg" \
    "二年级3班.\\吴十.jpg.=$smoke/photos/one.jpg" || fail "the phone simulator could not send the photos"
for stored in "二年级2班/ＣＯＮ.jpg one" "二年级2班/李｜四.jpg two" "二年级3班．/吴十.jpg． one"; do
    wait_for 20 landed "$smoke/photos/${stored#* }.jpg" "$receive/${stored% *}" \
        || fail "${stored% *} did not land bit-exact"
done

# The panel's text and QR code: the window is found on the screen by its
# title, and the QR code's square is cut out of the screenshot around where
# the window places it.
sleep 2
import -window root "$smoke/screenshot.png"
geometry=$(xwininfo -name 'Velmora-PC端10.1')
x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$geometry")
y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$geometry")
convert "$smoke/screenshot.png" -crop "160x160+$((x + 336))+$((y - 4))" +repage \
    -colorspace Gray -depth 8 gray:"$smoke/qr.gray"
{ echo 160; cat "$smoke/qr.gray"; } > "$smoke/qr.luminance"
build/velmora-qr-decode "$smoke/qr.luminance" "$smoke/qr.txt"
qr=$(tail -n +3 "$smoke/qr.txt")
[[ $(head -n 1 "$smoke/qr.txt") == ok && $qr == 192.168.77.5 ]] \
    || fail "the panel's QR code holds '$qr', not the default route's 192.168.77.5"

# A phone on Wi-Fi: both connections share a 5 MB/s radio link behind 2 MiB
# send buffers, so the next names reach the PC while a photo is still on
# the air. Every photo must land whole under its own name through the
# Windows socket layer as well.
burst=$smoke/wifi
for i in $(seq -w 1 12); do
    class=$((10#$i % 3 + 1))
    mkdir -p "$burst/三年级${class}班"
    convert -seed "$i" -size 900x700 xc:gray +noise Random -quality 80 "$burst/三年级${class}班/学生$i.jpg"
done
build/velmora-phone-sim --link-rate 5 --send-buffer 2097152 --gap 0 --dir "$burst" \
    || fail "the phone simulator could not send the Wi-Fi burst"
for photo in "$burst"/*/*.jpg; do
    wait_for 20 landed "$photo" "$receive/${photo#"$burst"/}" \
        || fail "${photo#"$burst"/} did not land bit-exact from the Wi-Fi burst"
done

echo "Windows smoke test: photos landed, QR code read; closing the window"
scripts/wine-run.sh "$smoke/close_window.exe" 'Velmora-PC端10.1' \
    || fail "the window did not close (close_window: $?)"
wait_for 30 eval '! kill -0 $program' || fail "the program did not end after its window was closed"
code=0
wait "$program" || code=$?
program=
((code == 0)) || fail "the program ended with exit code $code"
cmp -s "$smoke/set.ini.before" "$app/set.ini" || fail "set.ini changed"

# The silent uninstall copies itself away and goes on after the first
# process ends; it is done when Wine has no process left.
scripts/wine-run.sh "$app/uninstall.exe" /S || fail "the uninstaller ended with exit code $?"
WINEPREFIX=$prefix timeout 300 wineserver -w || fail "Wine did not end after the uninstall"
left=$(cd "$app" && find . -mindepth 1 -printf '%P\n')
[[ $left == set.ini ]] || fail "the uninstaller left more than set.ini: $left"
[[ -z $(shortcuts) ]] || fail "the uninstaller left shortcuts: $(shortcuts)"
scripts/wine-run.sh reg query "$uninstall_key" >/dev/null 2>&1 && fail "the entry under Settings -> Apps is left"
echo "Windows smoke test: uninstalled, set.ini kept"
echo "Windows smoke test passed in $((SECONDS - started)) s (screenshot: $smoke/screenshot.png)"
