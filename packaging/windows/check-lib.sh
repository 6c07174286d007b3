# Helpers of check.sh: Wine, the display, the demo server and the program's processes.
# Sourced; expects root, out, work, wine, server_bin, data, port and log_dir to be set.

step_name=setup
step_start=$(date +%s)
check_start=$step_start

say() { printf '[%s] %s\n' "${check_label:-windows-check}" "$*"; }

step() {
    say "step $step_name: done in $(( $(date +%s) - step_start )) s"
    step_name=$1
    step_start=$(date +%s)
    say "step $step_name: $2"
}

fail() {
    say "FAIL in step $step_name: $*"
    if [ -n "${xvfb_pid:-}" ]; then
        import -window root "$work/failure.png" 2>/dev/null && say "screen at the failure: $work/failure.png"
        xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | sed 's/^/    window: /'
    fi
    for log in "$log_dir"/*.log; do
        [ -s "$log" ] || continue
        say "--- last lines of $(basename "$log")"
        tail -n 15 "$log"
    done
    exit 1
}

# wait_for SECONDS WHAT COMMAND...: polls COMMAND until it succeeds.
wait_for() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$(( $(date +%s) + seconds ))
    until "$@"; do
        [ "$(date +%s)" -lt "$deadline" ] || fail "no $what within $seconds s"
        sleep 0.2
    done
}

# Log lines that show what a step did.
show_lines() { grep -E "$1" "$2" | sed 's/^/    /' || true; }

start_display() {
    local fd_file=$work/display
    rm -f "$fd_file"
    Xvfb -displayfd 3 -screen 0 1280x960x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    wait_for 20 "X display" test -s "$fd_file"
    export DISPLAY=:$(cat "$fd_file")
}

# start_server ARGS...: (re)starts the demo server on $port with the given extra options.
start_server() {
    stop_server
    "$server_bin" --host 127.0.0.1 --port "$port" --data "$data" "$@" >>"$log_dir/server.log" 2>&1 &
    server_pid=$!
    wait_for 30 "demo server on port $port" server_answers
}
server_answers() { [ -f "$data/cert.pem" ] && (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null; }
stop_server() {
    if [ -n "${server_pid:-}" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
        server_pid=
    fi
}
# How many requests the server logged whose line matches the pattern.
server_count() { grep -c -E "$1" "$log_dir/server.log" || true; }
version_checks_above() { [ "$(server_count 'GET /api1/')" -gt "$1" ]; }

# A port that is free now; the server is restarted on it between steps.
free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# start_program LOG EXE_NAME: starts the installed program as its shortcut does (in the
# install folder) but with its log on stderr captured; sets program_pid.
start_program() {
    (cd "$install_unix" && exec "$wine" "$2") 2>"$log_dir/$1" &
    program_pid=$!
}

# wait_program STATUS: the program started last ends, with that exit status.
wait_program() {
    wait_for 60 "end of the program" program_ended
    local status=0
    wait "$program_pid" || status=$?
    program_pid=
    [ "$status" -eq "$1" ] || fail "the program ended with status $status, not $1"
}
program_ended() {
    local state
    state=$(ps -o stat= -p "$program_pid" 2>/dev/null || true)
    [ -z "$state" ] || [[ $state == Z* ]]
}

# The program's top-level window, once it is visible.
window_id() { xdotool search --onlyvisible --name '^Zorbel-DreadHunger-MOD下载器$' 2>/dev/null | tail -n 1; }
wait_window() {
    wait_for "${1:-90}" "program window" window_visible
    window=$(window_id)
}
window_visible() { [ -n "$(window_id)" ]; }
window_gone() { [ -z "$(window_id)" ]; }
# windows_shown N: exactly N named windows are visible (the main window and its boxes).
windows_shown() { [ "$(xdotool search --onlyvisible --name . 2>/dev/null | wc -l)" -eq "$1" ]; }

# click X Y: a left click at a point of the program window (window coordinates).
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }

# screenshot NAME: the whole screen, cut down to the program window, into docs/ (the
# README shows the Chinese run's).
screenshot() {
    [ "${check_locale:-zh_CN}" = zh_CN ] || return 0
    local geometry
    geometry=$(xdotool getwindowgeometry --shell "$window")
    local X Y WIDTH HEIGHT
    eval "$geometry"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$root/docs/$1"
    say "screenshot docs/$1"
}

# Ends a Windows process of this prefix by its image name: politely (a close request to
# its windows, as the window's close button does) or with /F.
win_taskkill() { "$wine" taskkill "$@" >/dev/null 2>&1 || true; }

# The value of a registry entry as UTF-8 text (reg prints in the console's code page).
reg_value() {
    "$wine" reg query "$1" /v "$2" 2>/dev/null | iconv -f GB18030 -t UTF-8 \
        | sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | tr -d '\r'
}
reg_key_exists() { "$wine" reg query "$1" >/dev/null 2>&1; }

# A copy of the program that reports another version: the version text is a static
# UTF-16 string literal in the .exe; exactly one must match, or nothing is written.
patch_version() {
    python3 - "$@" <<'EOF'
import re, sys
source, target, old, new = sys.argv[1:5]
data = open(source, 'rb').read()
assert len(old) == len(new)
# Qt 5 string literal: ref -1, size, alloc 0, padding, offset 24, then the UTF-16 text and NUL.
header = b'\xff\xff\xff\xff' + len(old).to_bytes(4, 'little') + b'\0' * 8 + (24).to_bytes(8, 'little')
pattern = re.escape(header + old.encode('utf-16-le') + b'\0\0')
found = [m.start() for m in re.finditer(pattern, data)]
if len(found) != 1:
    sys.exit(f'version literal {old!r} found {len(found)} times in {source}')
at = found[0] + len(header)
data = data[:at] + new.encode('utf-16-le') + data[at + 2 * len(new):]
open(target, 'wb').write(data)
EOF
}

# Wine 8 has no timeout.exe, so update.bat's pauses ("timeout /t N /nobreak") would not
# wait and its taskkill could hit the program before it ends by itself: supply one.
install_timeout_command() {
    local target=$WINEPREFIX/drive_c/windows/system32/timeout.exe
    [ -f "$target" ] && return
    x86_64-w64-mingw32-gcc -O2 -s -x c -o "$target" - <<'EOF'
#include <stdlib.h>
#include <string.h>
#include <windows.h>
int main(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (!_stricmp(argv[i], "/t"))
            Sleep(atoi(argv[i + 1]) * 1000);
    return 0;
}
EOF
}

# lnk_holds LNK TEXT: the shortcut file names TEXT (in its ANSI or UTF-16 strings), any case.
lnk_holds() {
    python3 - "$1" "$2" <<'EOF'
import sys
data = open(sys.argv[1], 'rb').read().lower()
text = sys.argv[2].lower()
sys.exit(0 if text.encode() in data or text.encode('utf-16-le') in data else 1)
EOF
}

# copy_once FROM TO: copies a file that may vanish at any moment; true once TO holds it.
copy_once() { cp "$1" "$2" 2>/dev/null && [ -s "$2" ]; }

cleanup() {
    set +e
    [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null
    [ -n "${game_pid:-}" ] && kill "$game_pid" 2>/dev/null
    "$wineserver" -k 2>/dev/null
    stop_server
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
