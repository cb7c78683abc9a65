#!/usr/bin/env bash
# Sets up the machine (Debian packages), builds Varnel with its tests and runs them.
#   scripts/test.sh              regular build in build/
#   BUILD_DIR=... EXTRA_CMAKE_ARGS="..." scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
build="${BUILD_DIR:-build}"
# shellcheck disable=SC2086
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" -DVARNEL_WERROR=ON -DVARNEL_BENCH=ON ${EXTRA_CMAKE_ARGS:-}
cmake --build "$build" -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure
