#!/usr/bin/env bash
# Installs the Debian packages Varnel needs to build, test, benchmark and fuzz, if missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev libicu-dev
  zlib1g-dev libtag1-dev libseccomp-dev libmimalloc-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  clang-14 libclang-rt-14-dev
  fusefat dosfstools
  desktop-file-utils appstream dpkg-dev man-db groff-base lintian
  fonts-liberation2
  # Tests and benchmarks only: an independent writer of the artwork and Photo Databases.
  libgpod-dev libgdk-pixbuf-2.0-dev
)
if [ "${1:-}" = "--with-display" ]; then
  packages+=(xvfb xauth xdotool imagemagick openbox x11-utils)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
