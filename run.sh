#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo catalogue server on 127.0.0.1 and
# the program against it; the server stops when the program exits.
#   ./run.sh --fake-game   also makes a fake game installation under build/fake-game and
#                          runs a stand-in game process there, so that 检测目录 finds it.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh run

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target zorbel-skins zorbel-demo-server

data=${ZORBEL_DEMO_DATA:-$PWD/build/demo-data}
port=${ZORBEL_DEMO_PORT:-8443}
# ZORBEL_DEMO_RATE=2048 sends skin files at 2 MiB/s, to watch an install count up.
build/demo-server/zorbel-demo-server --port "$port" --data "$data" --rate "${ZORBEL_DEMO_RATE:-0}" &
server=$!
pids=($server)
trap 'kill "${pids[@]}" 2>/dev/null; wait "${pids[@]}" 2>/dev/null' EXIT

if [ "${1:-}" = "--fake-game" ]; then
    game=$PWD/build/fake-game
    build/demo-server/zorbel-demo-server --make-game "$game" >/dev/null
    exe=$game/DreadHunger/Binaries/Win64/DreadHunger-Win64-Shipping.exe
    cp "$(command -v sleep)" "$exe"
    "$exe" infinity &
    pids+=($!)
    echo "Fake game running from $exe"
fi

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
