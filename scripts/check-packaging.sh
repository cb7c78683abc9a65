#!/usr/bin/env bash
# Checks what Varnel installs besides its programs, then builds the Debian package and lists it.
#   scripts/check-packaging.sh [BUILD_DIR]     (default build/, already built)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"

desktop-file-validate app/varnel.desktop
appstreamcli validate --no-net app/works.mardle.varnel.metainfo.xml

# The manual pages render without a warning from groff or man.
for page in packaging/varnel.1 packaging/varnel-cli.1; do
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=all -l "$page" 2>&1 >/dev/null)"
  if [[ -n "$warnings" ]]; then
    echo "error: $page: $warnings" >&2
    exit 1
  fi
done

bash -n packaging/varnel-cli.bash

rm -f "$build"/varnel_*.deb
if ! log="$(cd "$build" && cpack -G DEB 2>&1)"; then
  echo "$log" >&2
  exit 1
fi
deb="$(ls "$build"/varnel_*.deb)"
dpkg-deb --info "$deb" | grep -E '^ (Package|Version|Depends):'
listing="$(dpkg-deb -c "$deb")"
echo "$listing"
for path in usr/bin/varnel usr/bin/varnel-cli usr/share/applications/varnel.desktop \
            usr/share/metainfo/works.mardle.varnel.metainfo.xml usr/share/icons/hicolor/scalable/apps/varnel.svg \
            usr/share/icons/hicolor/48x48/apps/varnel.png usr/share/man/man1/varnel.1.gz \
            usr/share/man/man1/varnel-cli.1.gz usr/share/bash-completion/completions/varnel-cli \
            usr/share/doc/varnel/copyright; do
  grep -q " \./$path\$" <<<"$listing" || { echo "error: $deb lacks /$path" >&2; exit 1; }
done
dpkg-deb --field "$deb" Depends | grep -q libqt6widgets6 || { echo "error: $deb depends on no Qt" >&2; exit 1; }
echo "$deb: complete"
