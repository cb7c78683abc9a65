#!/usr/bin/env bash
# Checks what Varnel installs besides its programs, then builds the two Debian packages with the
# distribution's hardening flags and checks them as a Debian maintainer would: lintian, the
# files each holds, and that varnel-cli needs no GUI library.
#   scripts/check-packaging.sh [BUILD_DIR]     (default build/, already built)
# The packages are built in BUILD_DIR-deb (or DEB_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
deb_build="${DEB_BUILD_DIR:-$build-deb}"

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
bash scripts/check-exit-status.sh "$build/cli/varnel-cli"

# The packages' build: the flags dpkg-buildflags gives, with every hardening feature.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
cmake -S . -B "$deb_build" -DCMAKE_BUILD_TYPE=None -DBUILD_TESTING=OFF -DVARNEL_BENCH=OFF -DVARNEL_DEMO=OFF \
      -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
      >/dev/null
cmake --build "$deb_build" -j"$(nproc)" >/dev/null

rm -f "$deb_build"/varnel*_*.deb
if ! log="$(cd "$deb_build" && cpack -G DEB 2>&1)"; then
  echo "$log" >&2
  exit 1
fi
gui="$(ls "$deb_build"/varnel_*.deb)"
cli="$(ls "$deb_build"/varnel-cli_*.deb)"

# $1 the package, then the paths it must hold.
check_listing() {
  local deb="$1" listing path
  shift
  dpkg-deb --info "$deb" | grep -E '^ (Package|Version|Maintainer|Depends|Recommends):'
  listing="$(dpkg-deb -c "$deb")"
  for path in "$@"; do
    grep -q " \./$path\$" <<<"$listing" || { echo "error: $deb lacks /$path" >&2; exit 1; }
  done
}
check_listing "$gui" usr/bin/varnel usr/share/applications/varnel.desktop \
  usr/share/metainfo/works.mardle.varnel.metainfo.xml usr/share/icons/hicolor/scalable/apps/varnel.svg \
  usr/share/icons/hicolor/48x48/apps/varnel.png usr/share/man/man1/varnel.1.gz \
  usr/share/doc/varnel/copyright usr/share/doc/varnel/changelog.gz
check_listing "$cli" usr/bin/varnel-cli usr/libexec/varnel/varnel-tags usr/share/man/man1/varnel-cli.1.gz \
  usr/share/bash-completion/completions/varnel-cli \
  usr/share/doc/varnel-cli/copyright usr/share/doc/varnel-cli/changelog.gz
if dpkg-deb -c "$gui" | grep -q 'varnel-cli'; then
  echo "error: $gui holds what belongs to varnel-cli" >&2
  exit 1
fi

dpkg-deb --field "$gui" Depends | grep -q libqt6widgets6 || { echo "error: $gui depends on no Qt" >&2; exit 1; }
[[ "$(dpkg-deb --field "$gui" Depends)" == *varnel-cli* ]] || { echo "error: $gui does not depend on varnel-cli" >&2; exit 1; }

# varnel-cli on a server: no Qt GUI or Widgets library, neither named nor loaded.
gui_libraries='libqt6(gui|widgets|opengl)|libQt6(Gui|Widgets|OpenGL)'
cli_depends="$(dpkg-deb -I "$cli" | grep -E '^ (Pre-)?Depends:')"
if grep -Eq "$gui_libraries" <<<"$cli_depends"; then
  echo "error: $cli depends on a Qt GUI library:$cli_depends" >&2
  exit 1
fi
unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$cli" "$unpacked"
if ldd "$unpacked/usr/bin/varnel-cli" | grep -Eq "$gui_libraries"; then
  echo "error: $cli's varnel-cli loads a Qt GUI library:" >&2
  ldd "$unpacked/usr/bin/varnel-cli" >&2
  exit 1
fi

# The binaries: stripped of the compiler's .comment, linked with immediate binding.
dpkg-deb -x "$gui" "$unpacked"
for binary in "$unpacked"/usr/bin/*; do
  if readelf -S "$binary" | grep -q '\.comment'; then
    echo "error: $binary keeps its .comment section" >&2
    exit 1
  fi
done

# Lintian, with its informational tags (where the hardening ones are): any error fails, and so
# does missing relro, immediate binding or PIE. hardening-no-fortify-functions stays a note: it
# also names calls whose buffer size the compiler cannot know, which no flag can protect.
for deb in "$gui" "$cli"; do
  findings="$(lintian --display-info --fail-on none "$deb" 2>&1 | grep -v 'running with root privileges')" || true
  [[ -z "$findings" ]] || echo "$findings"
  if grep -Eq '^E: |hardening-no-(relro|bindnow|pie)' <<<"$findings"; then
    echo "error: lintian finds errors or missing hardening in $deb" >&2
    exit 1
  fi
done
echo "$gui, $cli: complete"
