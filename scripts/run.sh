#!/usr/bin/env bash
# Sets up the machine (Debian packages), builds Varnel and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target varnel
exec ./build/app/varnel "$@"
