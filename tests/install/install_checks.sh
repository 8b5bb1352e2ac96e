#!/usr/bin/env bash
# Checks of what `cmake --install` and CPack put on a machine.
#   install_checks.sh desktop|metainfo|destdir|package|lintian SOURCE_DIR BUILD_DIR VERSION
# Exits 77 (skipped) when a tool a check needs is not installed.
set -uo pipefail

check="$1" src="$2" build="$3" version="$4"
app_id=org.dravik.CommandTool
desktop="$src/resources/$app_id.desktop"
metainfo="$src/resources/$app_id.metainfo.xml"
executables=(dravik-command-tool dravikctl dravik-display-sim dravik-exporter)
icon_sizes=(48 64 128 256)

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
need() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "SKIP: $tool is not installed"
      exit 77
    fi
  done
}
finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all $check checks passed"
  exit 0
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Width and height of a PNG from its IHDR chunk.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'; }

desktop_key() { sed -n "s/^$1=//p" "$2" | head -n1; }

# Builds the .deb into $tmp/pkg and sets $deb; a failure ends the check.
build_deb() {
  if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log"
    fail "cpack failed"
    finish
  fi
  debs=("$tmp"/pkg/*.deb)
  if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "expected one .deb, found: ${debs[*]}"
    finish
  fi
  deb="${debs[0]}"
}

case "$check" in
desktop)
  need desktop-file-validate
  out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate exited $?"
  # It exits 0 on errors that it calls "will be fatal in the future": read its words too.
  if grep -Eq 'error|warning' <<<"$out"; then fail "desktop-file-validate: $out"; fi
  ;;

metainfo)
  need appstreamcli
  out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate exited $?: $out"
  if grep -Eq '^(E|W):' <<<"$out"; then fail "appstreamcli validate: $out"; fi
  id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")
  [ "$id" = "$app_id" ] || fail "component id '$id', expected $app_id"
  launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
  [ -f "$src/resources/$launchable" ] || fail "launchable '$launchable' is not a desktop file in resources/"
  # The newest release comes first and must be the version the executables report.
  release=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n1 | cut -d'"' -f2)
  [ "$release" = "$version" ] || fail "newest release in the metainfo is '$release', the project is $version"
  ;;

destdir)
  need cmake
  root="$tmp/root"
  if ! DESTDIR="$root" cmake --install "$build" --prefix /usr >"$tmp/install.log" 2>&1; then
    cat "$tmp/install.log"
    fail "cmake --install failed"
    finish
  fi
  share="$root/usr/share"
  expected=(
    "$share/applications/$app_id.desktop"
    "$share/metainfo/$app_id.metainfo.xml"
    "$share/icons/hicolor/scalable/apps/$app_id.svg"
  )
  for exe in "${executables[@]}"; do
    expected+=("$root/usr/bin/$exe")
    [ -f "$src/docs/man/$exe.1" ] || echo "note: $exe has no man page in docs/man yet"
  done
  # The pages of the window and of the simulator live here; every page in docs/man installs.
  expected+=("$share/man/man1/dravik-command-tool.1" "$share/man/man1/dravik-display-sim.1")
  for page in "$src"/docs/man/*.1; do expected+=("$share/man/man1/$(basename "$page")"); done
  for size in "${icon_sizes[@]}"; do
    png="$share/icons/hicolor/${size}x${size}/apps/$app_id.png"
    expected+=("$png")
    if [ -f "$png" ] && [ "$(png_size "$png")" != "${size}x${size}" ]; then
      fail "$png is $(png_size "$png"), not ${size}x${size}"
    fi
  done
  for f in "${expected[@]}"; do [ -f "$f" ] || fail "not installed: ${f#"$root"}"; done
  for exe in "${executables[@]}"; do
    [ -x "$root/usr/bin/$exe" ] || fail "/usr/bin/$exe is not executable"
  done

  # Everything lands below the prefix, and nothing of the build (static libraries, headers).
  stray=$(cd "$root" && find . -type f ! -path './usr/*')
  [ -z "$stray" ] || fail "installed outside the prefix: $stray"
  dev=$(cd "$root" && find . -type f \( -name '*.a' -o -name '*.h' -o -name '*.cmake' \))
  [ -z "$dev" ] || fail "build files installed: $dev"

  # The menu entry starts an installed executable and names an installed icon.
  exec_cmd=$(desktop_key Exec "$share/applications/$app_id.desktop" | cut -d' ' -f1)
  [ -x "$root/usr/bin/$exec_cmd" ] || fail "Exec=$exec_cmd is not an installed executable"
  icon=$(desktop_key Icon "$share/applications/$app_id.desktop")
  for size in "${icon_sizes[@]}"; do
    [ -f "$share/icons/hicolor/${size}x${size}/apps/$icon.png" ] || fail "Icon=$icon has no ${size}x${size} icon"
  done

  if command -v groff >/dev/null; then
    for page in "$share"/man/man1/*.1; do
      warnings=$(groff -man -ww -z "$page" 2>&1)
      [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
    done
  fi

  # The installed executables run from where they were installed.
  for exe in dravikctl dravik-display-sim dravik-exporter; do
    timeout 20 "$root/usr/bin/$exe" --help >"$tmp/help.out" 2>&1 || fail "installed $exe --help exited $?"
    grep -q "$exe" "$tmp/help.out" || fail "installed $exe --help does not name itself"
  done
  for exe in "${executables[@]}"; do
    # An executable that does not take --version yet either exits 2 or, for the window, stays
    # up until the timeout: only an answered --version is checked.
    if (cd "$tmp" && QT_QPA_PLATFORM=offscreen timeout 5 "$root/usr/bin/$exe" --version >"$tmp/version.out" 2>&1); then
      grep -qF "$version" "$tmp/version.out" || fail "$exe --version does not show $version: $(cat "$tmp/version.out")"
    else
      echo "note: $exe does not answer --version yet"
    fi
  done
  ;;

package)
  need cpack dpkg-deb dpkg-shlibdeps
  build_deb
  [ "$(dpkg-deb -f "$deb" Package)" = dravik-command-tool ] || fail "package name $(dpkg-deb -f "$deb" Package)"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version), project $version"
  depends=$(dpkg-deb -f "$deb" Depends)
  # The Qt libraries the executables link, found by dpkg-shlibdeps, and the platform plugins.
  for dep in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6serialport6 qt6-qpa-plugins; do
    grep -Eq "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
  done
  contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
  for path in "${executables[@]/#/./usr/bin/}" \
      "./usr/share/applications/$app_id.desktop" "./usr/share/metainfo/$app_id.metainfo.xml" \
      "./usr/share/icons/hicolor/48x48/apps/$app_id.png" "./usr/share/man/man1/dravik-display-sim.1.gz" \
      "./usr/share/doc/dravik-command-tool/copyright" "./usr/share/doc/dravik-command-tool/changelog.gz" \
      "./usr/lib/systemd/system/dravik-exporter.service" "./usr/share/man/man1/dravik-exporter.1.gz"; do
    grep -qxF "$path" <<<"$contents" || fail "package lacks $path"
  done
  # Every page of docs/man, compressed, and no page left uncompressed.
  for page in "$src"/docs/man/*.[1-8]; do
    grep -qxF "./usr/share/man/man${page##*.}/$(basename "$page").gz" <<<"$contents" || fail "package lacks $(basename "$page").gz"
  done
  plain=$(grep -E '^\./usr/share/man/.*[^/]$' <<<"$contents" | grep -v '\.gz$')
  [ -z "$plain" ] || fail "uncompressed manual pages: $plain"
  ;;

lintian)
  need cpack dpkg-deb dpkg-shlibdeps lintian
  build_deb
  # Errors fail the check; warnings and the rest are shown for the record.
  lintian --allow-root --fail-on error --display-level ">=warning" "$deb" >"$tmp/lintian.out" 2>&1
  status=$?
  cat "$tmp/lintian.out"
  [ "$status" -eq 0 ] || fail "lintian exited $status"
  if grep -q '^E: ' "$tmp/lintian.out"; then fail "lintian reports errors"; fi
  ;;

*)
  echo "unknown check '$check'"
  exit 2
  ;;
esac
finish
