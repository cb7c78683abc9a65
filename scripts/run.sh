#!/usr/bin/env bash
# Sets up the machine (Debian packages), builds Varnel, prepares the demo player in
# build/demo-player and starts Varnel.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target varnel MakeDemoPlayer
./build/demo/MakeDemoPlayer build/demo-player
exec ./build/app/varnel "$@"
