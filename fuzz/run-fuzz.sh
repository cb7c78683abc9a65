#!/usr/bin/env bash
# Builds the fuzz targets with clang, writes their seeds and fuzzes each for a while: the
# database reader (ParseFuzzer), the rescue's tag reader (RescueFuzzer) and the artwork database
# reader with the thumbnail decoder (ArtworkFuzzer), and the Photo Database reader with the photo
# decoders (PhotoFuzzer).
#   fuzz/run-fuzz.sh BUILD_DIR SECONDS
# SECONDS is each target's time. BUILD_DIR holds the clang build and, below it, for each target
# its seeds, its corpus (grown across runs) and its artifacts (inputs that crashed, hung or ran
# out of memory). fuzz/rescue-corpus/ holds inputs worth keeping for good, crash inputs included.
# Exits non-zero when a fuzzer finds anything.
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
cmake --build "$build_dir" -j2 --target ParseFuzzer RescueFuzzer ArtworkFuzzer PhotoFuzzer MakeFuzzSeeds MakeRescueSeeds MakePhotoSeeds

seeds=$build_dir/fuzz-seeds
corpus=$build_dir/fuzz-corpus
artifacts=$build_dir/fuzz-artifacts
rm -rf "$seeds"
mkdir -p "$corpus" "$artifacts"
artwork_seeds=$build_dir/fuzz-artwork-seeds
artwork_corpus=$build_dir/fuzz-artwork-corpus
rm -rf "$artwork_seeds"
mkdir -p "$artwork_corpus"
"$build_dir/fuzz/MakeFuzzSeeds" "$seeds" "$artwork_seeds"

# New inputs go to the first folder; the seeds are only read.
"$build_dir/fuzz/ParseFuzzer" \
  -max_len=65536 -rss_limit_mb=2048 -timeout=10 -max_total_time="$seconds" \
  -print_final_stats=1 -artifact_prefix="$artifacts/" \
  "$corpus" "$seeds"

# The rescue's seeds are the media fixtures, each behind the byte that picks its kind of file
# (0 .mp3, 1 .m4a, 2 .m4v).
rescue_seeds=$build_dir/fuzz-rescue-seeds
rescue_corpus=$build_dir/fuzz-rescue-corpus
rm -rf "$rescue_seeds"
mkdir -p "$rescue_seeds" "$rescue_corpus"
media=$source_dir/tests/rescue/media
for f in id3v23.mp3 id3v24.mp3 notags.mp3 truncated.mp3; do
  { printf '\000'; cat "$media/$f"; } > "$rescue_seeds/$f"
done
{ printf '\001'; cat "$media/aac.m4a"; } > "$rescue_seeds/aac.m4a"
{ printf '\001'; cat "$media/alac.m4a"; } > "$rescue_seeds/alac.m4a"
{ printf '\002'; cat "$media/video.m4v"; } > "$rescue_seeds/video.m4v"
# Tags nested and crowded, sizes that claim far more than the file: generated.
"$build_dir/fuzz/MakeRescueSeeds" "$rescue_seeds" "$media"
# TagLib makes many small allocations from ever new call stacks; with AddressSanitizer's default
# quarantine and stack depth the fuzzer's memory grows by a few MB a second (no leak: the same
# reading in an ordinary build stays at 4 MB), so both are kept smaller here.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=32:malloc_context_size=4" \
"$build_dir/fuzz/RescueFuzzer" \
  -max_len=16384 -rss_limit_mb=2048 -timeout=10 -max_total_time="$seconds" \
  -print_final_stats=1 -artifact_prefix="$artifacts/rescue-" \
  "$rescue_corpus" "$rescue_seeds" "$source_dir/fuzz/rescue-corpus"

"$build_dir/fuzz/ArtworkFuzzer" \
  -max_len=65536 -rss_limit_mb=2048 -timeout=10 -max_total_time="$seconds" \
  -print_final_stats=1 -artifact_prefix="$artifacts/artwork-" \
  "$artwork_corpus" "$artwork_seeds"

# The photo seeds are Photo Databases and pixels written by libgpod for each family of player.
photo_seeds=$build_dir/fuzz-photo-seeds
photo_corpus=$build_dir/fuzz-photo-corpus
rm -rf "$photo_seeds"
mkdir -p "$photo_corpus"
"$build_dir/fuzz/MakePhotoSeeds" "$photo_seeds"
"$build_dir/fuzz/PhotoFuzzer" \
  -max_len=1048576 -rss_limit_mb=2048 -timeout=10 -max_total_time="$seconds" \
  -print_final_stats=1 -artifact_prefix="$artifacts/photo-" \
  "$photo_corpus" "$photo_seeds"
