#!/usr/bin/env bash
# Builds the reader's fuzz target with clang, writes the seed databases and fuzzes for a while.
#   fuzz/run-fuzz.sh BUILD_DIR SECONDS
# BUILD_DIR holds the clang build and, below it, fuzz-seeds/, fuzz-corpus/ (grown across runs)
# and fuzz-artifacts/ (inputs that crashed, hung or ran out of memory). Exits non-zero when the
# fuzzer finds anything.
set -euo pipefail

if [[ $# -ne 2 || ! $2 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 BUILD_DIR SECONDS" >&2
  exit 2
fi
build_dir=$1
seconds=$2
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cxx=${VARNEL_FUZZ_CXX:-clang++-14}

cmake -S "$source_dir" -B "$build_dir" \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVARNEL_FUZZ=ON -DVARNEL_GUI=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build_dir" -j2 --target ParseFuzzer MakeFuzzSeeds

seeds=$build_dir/fuzz-seeds
corpus=$build_dir/fuzz-corpus
artifacts=$build_dir/fuzz-artifacts
rm -rf "$seeds"
mkdir -p "$corpus" "$artifacts"
"$build_dir/fuzz/MakeFuzzSeeds" "$seeds"

# New inputs go to the first folder; the seeds are only read.
"$build_dir/fuzz/ParseFuzzer" \
  -max_len=65536 -rss_limit_mb=2048 -timeout=10 -max_total_time="$seconds" \
  -print_final_stats=1 -artifact_prefix="$artifacts/" \
  "$corpus" "$seeds"
