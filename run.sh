#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo catalogue server on 127.0.0.1 and
# the program against it; the server stops when the program exits.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh run

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build

data=${ZORBEL_DEMO_DATA:-$PWD/build/demo-data}
port=${ZORBEL_DEMO_PORT:-8443}
build/demo-server/zorbel-demo-server --port "$port" --data "$data" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null' EXIT

# The server makes its certificate on first start; wait until it answers.
for _ in $(seq 1 100); do
    [ -f "$data/cert.pem" ] && (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break
    sleep 0.1
done

export ZORBEL_SERVER=127.0.0.1:$port
export ZORBEL_CA_FILE=$data/cert.pem
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" build/zorbel-skins
else
    build/zorbel-skins
fi
