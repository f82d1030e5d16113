#!/usr/bin/env bash
# Installs the build tree into a temporary DESTDIR with prefix /usr and checks what a desktop
# needs: the program, a valid desktop entry whose Exec and Icon resolve, valid AppStream
# metainfo that matches the entry and the project version, the icons at their sizes, and the
# example lists byte for byte.
# Usage: check_install.sh <build dir> <source dir> <version> <app id>
set -euo pipefail
build=$1 source=$2 version=$3 app_id=$4

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

if ! DESTDIR="$root" cmake --install "$build" --prefix /usr >"$root.log" 2>&1; then
  cat "$root.log" >&2; rm -f "$root.log"; echo "FAIL: cmake --install" >&2; exit 1
fi
rm -f "$root.log"
usr=$root/usr
desktop=$usr/share/applications/$app_id.desktop
metainfo=$usr/share/metainfo/$app_id.metainfo.xml

for f in bin/koron-aa "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml" \
         "share/icons/hicolor/scalable/apps/$app_id.svg" share/doc/koron-aa/copyright \
         share/doc/koron-aa/examples/AAList_01.txt share/doc/koron-aa/examples/AAList_02.txt; do
  [ -f "$usr/$f" ] || fail "missing /usr/$f"
done
[ -x "$usr/bin/koron-aa" ] || fail "/usr/bin/koron-aa is not executable"

for size in 16 32 48; do
  png=$usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
  if [ ! -f "$png" ]; then
    fail "missing icon $size"
  elif ! file -b "$png" | grep -q "PNG image data, $size x $size,"; then
    fail "icon in ${size}x${size} is $(file -b "$png")"
  fi
done

for list in AAList_01.txt AAList_02.txt; do
  cmp -s "$source/examples/$list" "$usr/share/doc/koron-aa/examples/$list" ||
    fail "installed $list differs from examples/$list"
done

if missing=$(ldd "$usr/bin/koron-aa" | grep 'not found'); then
  fail "unresolved libraries: $missing"
fi

# desktop-file-validate prints hints too; a clean entry prints nothing.
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate exited non-zero"
[ -z "$out" ] || fail "desktop-file-validate: $out"

entry_key() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
exec_cmd=$(entry_key Exec)
[ -x "$usr/bin/${exec_cmd%% *}" ] || fail "Exec=$exec_cmd is not an installed program"
[ "$(entry_key Icon)" = "$app_id" ] || fail "Icon=$(entry_key Icon), expected $app_id"
grep -q '^Name\[ja\]=' "$desktop" || fail "no Japanese name in the desktop entry"
grep -q '^Comment\[ja\]=' "$desktop" || fail "no Japanese comment in the desktop entry"

# No network in tests: the screenshot and homepage addresses are not fetched. Infos count as
# failures too; only pedantic hints (shown with --pedantic) are accepted, among them the
# upper-case letters of the id, which the running program also announces as its desktop file.
for cmd in "validate --no-net $metainfo" "validate-tree --no-net $root"; do
  # shellcheck disable=SC2086
  if ! out=$(appstreamcli $cmd 2>&1); then
    fail "appstreamcli $cmd: $out"
  elif grep -Eq '^[[:space:]]*[EWI]: ' <<<"$out"; then
    fail "appstreamcli $cmd: $out"
  fi
done

grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "metainfo does not launch $app_id.desktop"
grep -q "<binary>${exec_cmd%% *}</binary>" "$metainfo" || fail "metainfo does not provide the binary"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"

if [ "$failures" -ne 0 ]; then
  exit 1
fi
echo "install tree OK"
