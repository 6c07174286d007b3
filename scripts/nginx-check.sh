#!/usr/bin/env bash
# The operators' path end to end on loopback, with nginx itself as the server:
#   publish    examples/skins (a Chinese category, a file name with a space) by zorbel-publish
#   serve      nginx-light + njs with packaging/nginx/zorbel-site.conf and a certificate made now
#   protocol   every address the program uses, by curl: types, HEAD sizes, ranges, cache times
#   traversal  requests that would leave the site folder: each must be 404
#   program    the real Linux program under Xvfb: browse, install a skin (its files must equal
#              the published ones), uninstall it
#   update     the site offers 1.2, signed; the program built with the test key takes it
# Usage: scripts/nginx-check.sh [BUILD_DIR] (default build-test, built with tests: it holds
# zorbel-publish, zorbel-demo-server and tests/program/zorbel-skins-testkey). Logs go to
# BUILD_DIR/nginx-check/logs, the screenshot of the published sample to docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${1:-build-test}" && pwd)
work=$build/nginx-check
log_dir=$work/logs
check_label=nginx-check
source packaging/windows/check-lib.sh

publish=$build/publish/zorbel-publish
server_bin=$build/demo-server/zorbel-demo-server
program=$build/tests/program/zorbel-skins-testkey
js_module=/usr/lib/nginx/modules/ngx_http_js_module.so
for file in "$publish" "$server_bin" "$program"; do
    [ -x "$file" ] || fail "no $file: build $build first"
done
command -v nginx >/dev/null && [ -f "$js_module" ] || fail "nginx-light and libnginx-mod-http-js are needed"

source_dir=$root/examples/skins
site=$work/site
game=$work/game
mods=$game/DreadHunger/Content/Paks/qvmods
# The private half of the key that zorbel-skins-testkey trusts (tests/program/CMakeLists.txt).
test_key_seed=KioqKioqKioqKioqKioqKioqKioqKioqKioqKioqKio=

# Window coordinates of what the steps click (the window has a fixed size).
detect_button=(689 31)
props_category=(554 117)   # 道具, the third main category by rank
all_subcategory=(437 225)  # 全部
first_card_button=(196 531)

finish() {
    set +e
    [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null
    [ -n "${game_pid:-}" ] && kill "$game_pid" 2>/dev/null
    [ -n "${nginx_pid:-}" ] && kill "$nginx_pid" 2>/dev/null
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap finish EXIT
rm -rf "$work"
mkdir -p "$log_dir" "$work/home" "$work/run" "$work/app"

# publish_site ARGS...: publishes the sample into the site, printing the publisher's summary.
publish_site() {
    "$publish" --source "$source_dir" --site "$site" --url "$origin" "$@" >"$work/publish.out" \
        2>"$log_dir/publish.log" || fail "zorbel-publish failed"
    sed 's/^/    /' "$work/publish.out"
}

step publish "examples/skins into $site"
port=$(free_port)
http_port=$(free_port)
origin=https://localhost:$port
publish_site

step serve "nginx on 127.0.0.1:$port (TLS) and :$http_port, certificate made now"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost -addext subjectAltName=DNS:localhost \
    -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
# The repository's configuration with the operator's lines set for this run.
sed -e "s|/etc/nginx/njs/zorbel-site.js|$root/packaging/nginx/zorbel-site.js|" \
    -e "s|listen 443 ssl http2;|listen 127.0.0.1:$port ssl http2;|" -e "s|listen 80;|listen 127.0.0.1:$http_port;|" \
    -e '/listen \[::\]/d' -e 's|server_name skins.example.org;|server_name localhost;|' \
    -e "s|/etc/ssl/zorbel/fullchain.pem|$work/cert.pem|" -e "s|/etc/ssl/zorbel/privkey.pem|$work/key.pem|" \
    -e "s|root /srv/zorbel-site;|root $site;|" packaging/nginx/zorbel-site.conf >"$work/zorbel-site.conf"
cat >"$work/nginx.conf" <<EOF
load_module $js_module;
daemon off;
worker_processes 1;
pid $work/nginx.pid;
error_log $log_dir/nginx-error.log;
events {}
http {
    access_log $log_dir/nginx-access.log;
    client_body_temp_path $work/tmp-body;
    proxy_temp_path $work/tmp-proxy;
    fastcgi_temp_path $work/tmp-fastcgi;
    uwsgi_temp_path $work/tmp-uwsgi;
    scgi_temp_path $work/tmp-scgi;
    include $work/zorbel-site.conf;
}
EOF
nginx -p "$work" -c "$work/nginx.conf" -t >"$log_dir/nginx-test.log" 2>&1 || { cat "$log_dir/nginx-test.log"; fail "nginx refuses the configuration"; }
nginx -p "$work" -c "$work/nginx.conf" &
nginx_pid=$!
nginx_answers() { (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null; }
wait_for 20 "nginx on port $port" nginx_answers

step protocol "every address the program uses, by curl"
# Values go into a query percent-encoded as UTF-8, as the program sends them.
enc() { python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1], safe=""))' "$1"; }
base=$origin/2/$(enc 皮肤).php
props="MainCategory=$(enc 道具)&subcategory=$(enc 灯笼)"
skin_url="$base/subcutaneous/index_skin_download.php?$props&pak_original=$(enc 'lantern red.pak')"
# fetch ARGS...: one request through curl; sets status, keeps the body and the headers.
fetch() {
    status=$(curl -sS --cacert "$work/cert.pem" --path-as-is -o "$work/body" -D "$work/headers" -w '%{http_code}' "$@")
}
header() { sed -n "s/^$1: *//Ip" "$work/headers" | tr -d '\r' | head -n 1; }
# expect WHAT CONDITION...: the condition must hold; prints what was checked.
expect() {
    local what=$1
    shift
    "$@" || fail "$what (status $status, Content-Type $(header Content-Type))"
    say "    ok: $what"
}
fetch "$base?name=Orvel"
expect "discovery answers the base address" test "$status $(cat "$work/body")" = "200 $origin/2/皮肤.php"
fetch "$base/index_skins.php"
expect "catalogue is application/json" test "$status $(header Content-Type)" = "200 application/json; charset=utf-8"
python3 - "$work/body" "$site" >"$work/catalogue.out" <<'EOF' || fail "catalogue: $(cat "$work/catalogue.out")"
import hashlib, json, os, sys
records, site = json.load(open(sys.argv[1])), sys.argv[2]
assert len(records) == 6, f'{len(records)} records'
for r in records:
    for kind in ('pak', 'sig'):
        data = open(os.path.join(site, 'skins', r['MainCategory'], r['subcategory'], r[kind + '_original']), 'rb').read()
        assert r[kind + '_size'] == len(data) and r[kind + '_sha256'] == hashlib.sha256(data).hexdigest(), r['name']
EOF
expect "catalogue records carry the files' sizes and SHA-256" true
fetch "$base/Instructions.php"
expect "instructions text" cmp -s "$work/body" "$source_dir/instructions.html"
fetch "$base/subcutaneous/index_image_download.php?$props&cover=$(enc 'lantern red.png')"
expect "cover below a Chinese category, named with a space, image/png" \
    test "$status $(header Content-Type)" = "200 image/png"
expect "cover bytes equal the published ones" cmp -s "$work/body" "$source_dir/lantern red.png"
fetch -I "$skin_url"
expect "HEAD on a .pak gives its Content-Length" test "$status $(header Content-Length)" = "200 40000"
expect "skin files are cached for 30 days" test "$(header Cache-Control)" = "max-age=2592000"
fetch -r 1000- "$skin_url"
expect "a range request answers 206 with the rest" test "$status $(header Content-Range)" = "206 bytes 1000-39999/40000"
expect "the rest equals the file's end" cmp -s "$work/body" <(tail -c +1001 "$source_dir/lantern red.pak")
fetch "$base/subcutaneous/index_skin_download.php?$props&sig_original=$(enc 'lantern red.sig')"
expect "the .sig" cmp -s "$work/body" "$source_dir/lantern red.sig"
fetch "$origin/api1/"
expect "version record is application/json, cached 1 minute" \
    test "$status $(header Content-Type) $(header Cache-Control)" = "200 application/json; charset=utf-8 max-age=60"
status=$(curl -sS -o /dev/null -w '%{http_code} %{redirect_url}' "http://127.0.0.1:$http_port/api1/")
expect "plain HTTP is sent to HTTPS" test "$status" = "301 https://localhost/api1/"

step traversal "requests that would leave the site folder, or ask for what the protocol does not offer: 404"
skin_endpoint=$base/subcutaneous/index_skin_download.php
cover_endpoint=$base/subcutaneous/index_image_download.php
# Each names a file that exists, so that a request that got through would be answered 200:
# the certificate's key beside the site folder, the site's own files, a skin out of place.
requests=(
    "$cover_endpoint?MainCategory=..&subcategory=..&cover=key.pem"
    "$cover_endpoint?MainCategory=%2e%2e&subcategory=%2E%2E&cover=key.pem"
    "$cover_endpoint?MainCategory=%c0%ae%c0%ae&subcategory=%c0%ae%c0%ae&cover=key.pem"
    "$cover_endpoint?MainCategory=.&subcategory=..&cover=catalog.json"
    "$cover_endpoint?$props&cover=../../../catalog.json"
    "$cover_endpoint?$props&cover=..%2F..%2F..%2Fcatalog.json"
    "$cover_endpoint?$props&cover=..\\..\\..\\catalog.json"
    "$cover_endpoint?$props&cover=..%5C..%5C..%5Ccatalog.json"
    "$cover_endpoint?$props&cover=$(enc 'lantern red.png')%00.txt"
    "$cover_endpoint?MainCategory=%252e%252e&subcategory=%252e%252e&cover=key.pem"
    "$skin_endpoint?$props&pak_original=$(enc 'lantern red.pak')%00"
    "$skin_endpoint?$props&sig_original=$(enc 'lantern red.sig')%00.sig"
    "$skin_endpoint?MainCategory=$(enc 道具)&subcategory=.&pak_original=$(enc '灯笼/lantern red.pak')"
    "$skin_endpoint?MainCategory=$(enc 道具)&subcategory=%2e&pak_original=$(enc '灯笼')%2f$(enc 'lantern red.pak')"
    "$origin/catalog.json"
    "$origin/skins/$(enc 道具)/$(enc 灯笼)/$(enc 'lantern red.pak')"
    "$origin/files/../version.json"
    "$origin/files/..%2fversion.json"
    "$origin/files/%2e%2e/version.json"
    "$origin/files/..%5cversion.json"
    "$origin/files/%00"
    "$base/../../version.json"
    "$origin/../../../etc/passwd"
)
for url in "${requests[@]}"; do
    fetch "$url"
    [ "$status" = 404 ] || fail "$url answered $status, not 404"
    say "    404: ${url#"$origin"}"
done

step program "the program against nginx: 检测目录, 道具 / 全部, install the first card, uninstall"
start_display
"$server_bin" --make-game "$game" >/dev/null
game_exe=$game/DreadHunger/Binaries/Win64/DreadHunger-Win64-Shipping.exe
cp "$build/tests/wait_program" "$game_exe"
"$game_exe" 900 &
game_pid=$!
cp "$program" "$work/app/zorbel-skins"
# start_skins LOG: the program in its own home, against nginx; sets program_pid. It is ended
# by a signal or by its update: what it holds then is no leak (the suites look for those).
start_skins() {
    (cd "$work/run" && HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache \
        ZORBEL_SERVER=localhost:$port ZORBEL_CA_FILE=$work/cert.pem QT_QPA_PLATFORM=xcb \
        ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 \
        exec "$work/app/zorbel-skins") 2>"$log_dir/$1" &
    program_pid=$!
}
start_skins program.log
wait_window
wait_for 60 "log line 当前已是最新版本" grep -q '当前已是最新版本' "$log_dir/program.log"
show_lines '成功获取动态API地址|index_skins|当前已是最新版本' "$log_dir/program.log"
click "${detect_button[@]}"
stored_game() { grep -qs "game_dir=$game" "$work/home/.config/qvmod/DreadHunger.conf"; }
wait_for 30 "stored game folder" stored_game
click "${props_category[@]}"
sleep 1
click "${all_subcategory[@]}"
# The program's requests carry no user agent; curl's do.
wait_for 30 "the program's request of the first card's cover" \
    grep -q 'cover=lantern%20red.png HTTP/[0-9.]*" 200 [0-9]* "-" "-"' "$log_dir/nginx-access.log"
sleep 1
screenshot published-sample.png
click "${first_card_button[@]}"
installed() { cmp -s "$site/skins/道具/灯笼/lantern red.pak" "$mods/lantern red.pak" \
    && cmp -s "$site/skins/道具/灯笼/lantern red.sig" "$mods/lantern red.sig"; }
wait_for 60 "both skin files, equal to the published ones, in the mod folder" installed
say "    ok: installed $(ls "$mods" | tr '\n' ' ')"
wait_for 30 "end of the install" grep -q '成功重命名: .*lantern red.sig' "$log_dir/program.log"
click "${first_card_button[@]}"
uninstalled() { [ ! -e "$mods/lantern red.pak" ] && [ ! -e "$mods/lantern red.sig" ]; }
wait_for 30 "removal of the skin files" uninstalled
say "    ok: uninstalled; mod folder: [$(ls "$mods")]"
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
program_pid=

step update "the site offers 1.2, signed with the test key; the program takes it"
printf '%s\n' "$test_key_seed" >"$work/update.key"
# The program takes only a plain .exe name for an update, on every platform.
patch_version "$work/app/zorbel-skins" "$work/zorbel-skins-1.2.exe" 1.1 1.2 || fail "cannot make the 1.2 build"
publish_site --program "$work/zorbel-skins-1.2.exe" --version 1.2 --key "$work/update.key"
start_skins update.log
wait_program 0
show_lines '发现新版本|下载完成|校验|更新' "$log_dir/update.log"
expect "the downloaded 1.2 equals the published file" cmp -s "$work/run/zorbel-skins-1.2.exe" "$site/files/zorbel-skins-1.2.exe"
expect "update.bat written beside the program" test -s "$work/app/update.bat"
expect "the file was checked, not refused" bash -c "! grep -q '校验失败' '$log_dir/update.log'"

step done "publish, nginx, ${#requests[@]} traversals, the program (browse, install, uninstall, signed update)"
say "total $(($(date +%s) - check_start)) s"
