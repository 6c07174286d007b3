#!/usr/bin/env bash
# Drives the Windows release end to end under Wine against the Linux demo server reached as
# https://localhost:PORT, in a Chinese locale (code page 936) or, with ZORBEL_CHECK_LOCALE=de_DE,
# in a German one (ANSI 1252, OEM 850: the update script's paths must still read back):
#   1 install   silent per-user install (zh_CN: the default folder; de_DE: a folder named
#               "Spiele é 100%"); no rights granted to anybody (icacls shown); the Start-menu
#               shortcut starts zorbel-skins.exe itself; its log shows that it is current
#   2 detect    a stand-in game process in a fake game tree; "检测目录" finds its folder
#   3 install-skin  a card's button installs a skin (both files whole), then uninstalls it
#   4 close     closing the window during a slow download, answered Yes, leaves no .tmp
#   5 update    a record whose signature names another version is refused before any
#               download; then the server offers a signed 1.2 as zorbel-skins-1.2.exe: the
#               program downloads it, writes update.bat, starts it and exits 0; the script
#               swaps the files; 1.2 closes and takes back zorbel-skins.exe; the Start-menu
#               shortcut then starts 1.2
#   6 uninstall the uninstaller leaves no program file behind
# Steps 2 to 4 run in zh_CN only. Needs the files of packaging/windows/build.sh in build-windows/.
# ZORBEL_CHECK_UPDATE_KEY names the private key of the build's update key (test-credentials.sh);
# without it the update is offered unsigned (a build without a key). ZORBEL_CHECK_CODESIGN_CA,
# when set, is the certificate the installed files must be signed with. Logs go to
# build-windows/check-<locale>/, screenshots of steps 1-3 to docs/. ZORBEL_DEMO_SERVER names the
# Linux demo server (default: build-test/demo-server/zorbel-demo-server, built when missing).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
out=$root/build-windows
check_locale=${ZORBEL_CHECK_LOCALE:-zh_CN}
case $check_locale in zh_CN|de_DE) ;; *) echo "ZORBEL_CHECK_LOCALE: zh_CN or de_DE" >&2; exit 2 ;; esac
work=$out/check-$check_locale
log_dir=$work/logs
data=$work/server-data
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
source packaging/windows/check-lib.sh

# A prefix per locale: Wine keeps the code pages it was made with.
export WINEPREFIX=${ZORBEL_CHECK_WINEPREFIX:-$out/wineprefix-$check_locale}
# A home of its own: Wine links the profile's Desktop and Documents to $HOME, and its menu
# builder would put the shortcuts into the desktop's menus.
export HOME=$work/home
mkdir -p "$HOME"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" LC_ALL=$check_locale.UTF-8 LANG=$check_locale.UTF-8
unset QT_QPA_PLATFORM

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/CMakeCache.txt" 2>/dev/null || true)
setup=$out/zorbel-skins-$version-setup.exe
[ -n "$version" ] && [ -f "$setup" ] || fail "no $setup: run packaging/windows/build.sh first"
new_version=1.2
new_exe=zorbel-skins-$new_version.exe

server_bin=${ZORBEL_DEMO_SERVER:-$root/build-test/demo-server/zorbel-demo-server}
if [ ! -x "$server_bin" ]; then
    cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build build-test --target zorbel-demo-server >/dev/null
fi

app_name=Zorbel-DreadHunger-MOD下载器
user_win="C:\\users\\$(id -un)"
user_unix="$WINEPREFIX/drive_c/users/$(id -un)"
if [ "$check_locale" = zh_CN ]; then
    install_win="$user_win\\AppData\\Local\\Programs\\zorbel-skins"  # the installer's default
    install_unix="$user_unix/AppData/Local/Programs/zorbel-skins"
else
    install_win="$user_win\\AppData\\Local\\Programs\\Spiele é 100%"
    install_unix="$user_unix/AppData/Local/Programs/Spiele é 100%"
fi
shortcut_win="$user_win\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\$app_name\\$app_name.lnk"
shortcut_unix="$user_unix/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$app_name/$app_name.lnk"
desktop_unix="$user_unix/Desktop/$app_name.lnk"
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\zorbel-skins'
settings_key='HKCU\Software\qvmod\DreadHunger'
game_win='C:\游戏\Dread Hunger'
game_unix="$WINEPREFIX/drive_c/游戏/Dread Hunger"
mods_unix="$game_unix/DreadHunger/Content/Paks/qvmods"
mods_win="$game_win\\DreadHunger\\Content\\Paks\\qvmods"

# Window coordinates of what the steps click (the window has a fixed size).
detect_button=(689 31)
tools_category=(561 117)     # 道具
all_subcategory=(412 225)    # 全部
first_card_button=(196 531)  # 背包·皮革: zorbel_004.pak/.sig
second_card_button=(484 531) # 背包·帆布: zorbel_006.pak/.sig

trap cleanup EXIT
rm -rf "$log_dir"
mkdir -p "$log_dir" "$work"
say "setup: Wine prefix $WINEPREFIX, locale $LC_ALL"
# Wine's desktop process takes the display it first sees for every program of the prefix.
start_display
[ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot -i >/dev/null 2>&1
install_timeout_command
"$wineserver" -k 2>/dev/null || true
# Leftovers of an earlier, failed run.
rm -rf "$install_unix" "$(dirname "$shortcut_unix")" "$desktop_unix" "$WINEPREFIX/drive_c/游戏"
"$wine" reg delete "$uninstall_key" /f >/dev/null 2>&1 || true
"$wine" reg delete "$settings_key" /f >/dev/null 2>&1 || true
port=$(free_port)
start_server
export ZORBEL_SERVER=localhost:$port
export ZORBEL_CA_FILE="Z:${data//\//\\}\\cert.pem"
# The update download goes through QtNetwork, whose Schannel backend under Wine trusts only
# the Windows root store: put the demo certificate there (libcurl takes ZORBEL_CA_FILE).
python3 - "$data/cert.pem" >"$work/root-cert.args" <<'EOF'
import base64, hashlib, ssl, struct, sys
der = ssl.PEM_cert_to_DER_cert(open(sys.argv[1]).read())
blob = struct.pack('<III', 32, 1, len(der)) + der   # serialized element: the certificate
print(hashlib.sha1(der).hexdigest().upper(), blob.hex())
EOF
read -r thumbprint blob <"$work/root-cert.args"
"$wine" reg add "HKLM\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$thumbprint" \
    /v Blob /t REG_BINARY /d "$blob" /f >/dev/null 2>&1 || fail "cannot add the demo certificate to the root store"

step 1-install "silent per-user install into $install_win"
# /D= must come last and unquoted, so the installer gets its command line from cmd as it stands.
folder_option=""
[ "$check_locale" = zh_CN ] || folder_option=" /D=$install_win"
"$wine" cmd /c "Z:${setup//\//\\} /S$folder_option" >"$log_dir/setup.log" 2>&1 || fail "setup.exe failed"
wait_for 60 "installed files" test -f "$install_unix/uninstall.exe"
for file in zorbel-skins.exe app.ico Qt5Core.dll platforms/qwindows.dll; do
    [ -f "$install_unix/$file" ] || fail "$file not installed"
done
[ -f "$shortcut_unix" ] || fail "no Start-menu shortcut"
[ -f "$desktop_unix" ] || fail "no desktop shortcut"
[ "$(reg_value "$uninstall_key" DisplayVersion)" = "$version" ] || fail "no Add/Remove Programs entry"
say "installed $(find "$install_unix" -type f | wc -l) files; uninstall entry: $(reg_value "$uninstall_key" UninstallString)"
# The shortcut names the program itself and the install folder as its working folder.
lnk_holds "$shortcut_unix" 'zorbel-skins.exe' && ! lnk_holds "$shortcut_unix" 'cmd.exe' \
    || fail "the Start-menu shortcut does not start zorbel-skins.exe directly"
# Nothing grants rights to other accounts (Wine keeps no real ACLs; this shows what icacls says).
"$wine" icacls "$install_win" >"$log_dir/icacls.log" 2>&1 || true
sed 's/^/    icacls: /' "$log_dir/icacls.log" | tr -d '\r'
grep -aqiE '(Users|S-1-5-32-545|Everyone|S-1-1-0).*\((OI\)\(CI\))?(F|M|W)' "$log_dir/icacls.log" \
    && fail "the install folder grants write rights to other accounts"
if [ -n "${ZORBEL_CHECK_CODESIGN_CA:-}" ]; then
    for file in zorbel-skins.exe uninstall.exe; do
        osslsigncode verify -CAfile "$ZORBEL_CHECK_CODESIGN_CA" -in "$install_unix/$file" >/dev/null 2>&1 \
            || fail "$file is not signed with the build's certificate"
    done
    say "    zorbel-skins.exe and uninstall.exe carry verified Authenticode signatures"
fi
requests_before=$(server_count 'GET /api1/')
"$wine" start "$shortcut_win" >/dev/null 2>&1 || fail "the Start-menu shortcut does not start"
wait_window
wait_for 60 "version check of the program started from the Start menu" version_checks_above "$requests_before"
sleep 1
screenshot windows-step1-start.png
win_taskkill /F /IM zorbel-skins.exe
wait_for 30 "end of the program" window_gone
start_program step1.log zorbel-skins.exe
wait_for 60 "log line 当前已是最新版本" grep -q '当前已是最新版本' "$log_dir/step1.log"
show_lines 'API地址设置完成|_API: |HTTPS连接成功|当前已是最新版本' "$log_dir/step1.log"
wait_window

if [ "$check_locale" = zh_CN ]; then
step 2-detect "stand-in game process in $game_win, then 检测目录"
"$server_bin" --make-game "$game_unix" >/dev/null
game_exe="$game_unix/DreadHunger/Binaries/Win64/DreadHunger-Win64-Shipping.exe"
x86_64-w64-mingw32-g++-posix -O2 -static tests/support/wait_program.cpp -o "$game_exe"
(cd "$(dirname "$game_exe")" && exec "$wine" DreadHunger-Win64-Shipping.exe 900) >/dev/null 2>&1 &
game_pid=$!
sleep 2
click "${detect_button[@]}"
stored_game_dir() { [ "$(reg_value "$settings_key" game_dir)" = "$game_win" ]; }
wait_for 30 "stored game folder" stored_game_dir
sleep 1
screenshot windows-step2-detect.png
say "    stored game_dir: $(reg_value "$settings_key" game_dir)"

step 3-install-skin "install the first card of 道具 / 全部, then uninstall it"
click "${tools_category[@]}"
sleep 1
click "${all_subcategory[@]}"
sleep 2
click "${first_card_button[@]}"
skins="$data/skins/道具/背包"
installed() { cmp -s "$skins/zorbel_004.pak" "$mods_unix/zorbel_004.pak" && cmp -s "$skins/zorbel_004.sig" "$mods_unix/zorbel_004.sig"; }
wait_for 120 "both skin files, whole, in the mod folder" installed
wait_for 30 "end of the install" grep -q '成功重命名: .*zorbel_004.sig' "$log_dir/step1.log"
sleep 1
screenshot windows-step3-installed.png
click "${first_card_button[@]}"
uninstalled() { [ ! -e "$mods_unix/zorbel_004.pak" ] && [ ! -e "$mods_unix/zorbel_004.sig" ]; }
wait_for 30 "removal of the skin files" uninstalled
# The notice "皮肤已成功卸载" is modal and has the focus: Return closes it.
wait_for 30 "notice of the uninstall" windows_shown 2
xdotool key Return
wait_for 30 "end of the notice" windows_shown 1
show_lines '已创建或确认目录存在|成功重命名|已删除文件' "$log_dir/step1.log"

step 4-close "close the window during a slow download, answer Yes"
start_server --rate 64
click "${second_card_button[@]}"
transferring() { compgen -G "$mods_unix/*.tmp" >/dev/null; }
wait_for 60 "a .tmp file of the running download" transferring
win_taskkill /IM zorbel-skins.exe
question_shown() { [ -n "$(xdotool search --onlyvisible --name '^确认关闭$' 2>/dev/null)" ]; }
wait_for 30 "close confirmation" question_shown
question=$(xdotool search --onlyvisible --name '^确认关闭$' | tail -n 1)
# "是" is the left one of the two buttons at the box's lower right; "否" is the default.
eval "$(xdotool getwindowgeometry --shell "$question")"
xdotool mousemove --window "$question" $(( WIDTH - 88 )) $(( HEIGHT - 27 )) click 1
wait_program 0
transferring && fail "left behind: $(ls "$mods_unix"/*.tmp)"
say "    mod folder after closing: $(ls "$mods_unix" | tr '\n' ' ')(no .tmp)"
fi

if [ "$check_locale" != zh_CN ]; then
    win_taskkill /IM zorbel-skins.exe
    wait_program 0
fi

step 5-update "the server offers $new_version as $new_exe"
mkdir -p "$data/files"
patch_version "$install_unix/zorbel-skins.exe" "$data/files/$new_exe" "$version" "$new_version" \
    || fail "cannot make the $new_version build"
# sign_offer VERSION: the demo server's signature of the offered file, made for VERSION.
sign_offer() {
    [ -n "${ZORBEL_CHECK_UPDATE_KEY:-}" ] || return 0
    "$server_bin" --sign "$data/files/$new_exe" --key "$ZORBEL_CHECK_UPDATE_KEY" --version-record "$1" \
        --update-file "$new_exe" >>"$log_dir/server.log" 2>&1 || fail "cannot sign $new_exe"
}
if [ -n "${ZORBEL_CHECK_UPDATE_KEY:-}" ]; then
    # A signature made for another version: refused before anything is downloaded.
    sign_offer 1.3
    start_server --version-record "$new_version" --update-file "$new_exe"
    start_program step5-refused.log zorbel-skins.exe
    box_shown() { [ -n "$(xdotool search --onlyvisible --name '^程序错误$' 2>/dev/null)" ]; }
    wait_for 60 "the refusal's box" box_shown
    # "确定" is the box's default button: Return, with the box focused, until the program ends.
    for _ in $(seq 1 40); do
        program_ended && break
        box=$(xdotool search --onlyvisible --name '^程序错误$' 2>/dev/null | tail -n 1 || true)
        [ -z "$box" ] || { xdotool windowfocus --sync "$box" 2>/dev/null; xdotool key Return 2>/dev/null; }
        sleep 0.5
    done
    wait_program 1
    grep -q '更新文件校验失败: 签名与版本' "$log_dir/step5-refused.log" || fail "no refusal of the signature"
    [ "$(server_count 'GET /files/')" -eq 0 ] || fail "a refused record's file was downloaded"
    leftovers=$(cd "$install_unix" && ls -d "$new_exe" zorbel-update-*.part update.bat 2>/dev/null || true)
    [ -z "$leftovers" ] || fail "the refused update left $leftovers"
    say "    a record signed for version 1.3 is refused before any download, nothing left behind"
fi
sign_offer "$new_version"
start_server --version-record "$new_version" --update-file "$new_exe"
start_program step5.log zorbel-skins.exe
# The script deletes itself a few seconds after the program ends: keep its first form.
bat="$install_unix/update.bat"
rm -f "$work/update.bat"
wait_for 120 "update.bat" copy_once "$bat" "$work/update.bat"
show_lines '下载完成|下载失败|更新|exe|签名' "$log_dir/step5.log"
wait_program 0
swapped() { [ ! -e "$install_unix/zorbel-skins.exe" ] && [ -f "$install_unix/$new_exe" ] && [ ! -e "$bat" ]; }
wait_for 60 "the script's swap (old exe and update.bat gone, $new_exe in place)" swapped
if [ "$check_locale" = zh_CN ]; then
    expected=$(printf '\r\n@echo off\r\ntimeout /t 1 /nobreak >nul\r\ntaskkill /F /IM "zorbel-skins.exe" >nul 2>&1\r\nstart "" "%s"\r\ntimeout /t 3 /nobreak >nul\r\ndel /F /Q "%s" >nul 2>&1\r\ntimeout /t 1 /nobreak >nul\r\ndel /F /Q "%s" >nul 2>&1\r\nexit\r\n' \
        "$install_win\\$new_exe" "$install_win\\zorbel-skins.exe" "$install_win\\update.bat" | base64 -w0)
    [ "$(base64 -w0 "$work/update.bat")" = "$expected" ] || fail "update.bat is not the expected script"
else
    # "é" differs between 1252 and 850 and "%" would expand: the folder is in its short form.
    LC_ALL=C grep -q '[^[:print:][:space:]]' "$work/update.bat" && fail "update.bat holds text cmd would misread"
    grep -q 'taskkill /F /IM "zorbel-skins.exe"' "$work/update.bat" || fail "update.bat lacks its taskkill line"
fi
say "    update.bat: $(stat -c %s "$work/update.bat") bytes; its start line: $(sed -n 5p "$work/update.bat" | tr -d '\r')"
wait_window
say "    the script started $new_exe; install folder: $(cd "$install_unix" && ls -d zorbel-skins*.exe update.bat 2>/dev/null | tr '\n' ' ')"
# Closed normally, the new version takes back the name the shortcuts start.
win_taskkill /IM "$new_exe"
renamed() { [ -f "$install_unix/zorbel-skins.exe" ] && [ ! -e "$install_unix/$new_exe" ]; }
wait_for 30 "$new_exe renamed to zorbel-skins.exe at close" renamed
wait_for 30 "end of the program" window_gone
requests_before=$(server_count 'GET /api1/')
"$wine" start "$shortcut_win" >/dev/null 2>&1 || fail "the Start-menu shortcut does not start after the update"
wait_window
wait_for 60 "version check of the updated program" version_checks_above "$requests_before"
sleep 2
# 1.1 would download the offer again; 1.2 is current and keeps its window.
[ "$(server_count 'GET /files/')" -eq 1 ] || fail "the program the shortcut started is not $new_version"
window_visible || fail "the program the shortcut started ended"
win_taskkill /F /IM zorbel-skins.exe
wait_for 30 "end of the program" window_gone
start_program step5-next.log zorbel-skins.exe
wait_for 60 "log line 当前已是最新版本 against version $new_version" \
    grep -q '当前已是最新版本' "$log_dir/step5-next.log"
show_lines '当前已是最新版本' "$log_dir/step5-next.log"
win_taskkill /F /IM zorbel-skins.exe
wait_for 30 "end of the program" program_ended
wait "$program_pid" 2>/dev/null || true
program_pid=

step 6-uninstall "the uninstaller, silent"
[ -n "${game_pid:-}" ] && kill "$game_pid" 2>/dev/null || true
"$wine" "$install_win\\uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller failed"
wait_for 60 "removal of the install folder" test ! -e "$install_unix"
# The uninstaller runs on from a copy of itself: the shortcuts go after the folder.
shortcuts_gone() { [ ! -e "$shortcut_unix" ] && [ ! -e "$desktop_unix" ]; }
wait_for 30 "removal of the shortcuts" shortcuts_gone
reg_key_exists "$uninstall_key" && fail "the Add/Remove Programs entry is left behind"
say "    install folder, shortcuts and uninstall entry removed; kept (the user's): settings" \
    "$settings_key game_dir=$(reg_value "$settings_key" game_dir), cover cache" \
    "$(ls "$user_unix"/.cache/VezoZizerur 2>/dev/null | wc -l) files"

step done "all steps passed ($check_locale)"
say "total $(( $(date +%s) - check_start )) s"
