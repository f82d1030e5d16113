#!/usr/bin/env bash
# Installs the build tree into a temporary DESTDIR with prefix /usr and checks what a desktop
# needs: the program, a valid desktop entry whose Exec and Icon resolve, valid AppStream
# metainfo that matches the entry and the project version, the icons at their sizes, the
# example lists and collections byte for byte where --user-dir looks for them, and the manual
# page and changelog compressed the way Debian wants, at the project version.
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

doc=$usr/share/doc/koron-aa
man_page=$usr/share/man/man1/koron-aa.1.gz
for f in bin/koron-aa "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml" \
         "share/icons/hicolor/scalable/apps/$app_id.svg" share/koron-aa/AAList_01.txt \
         share/koron-aa/AAList_02.txt share/man/man1/koron-aa.1.gz share/doc/koron-aa/copyright \
         share/doc/koron-aa/changelog.gz share/doc/koron-aa/README.md.gz; do
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

for list in AAList_01.txt AAList_02.txt AA/見本.mlt AA/顔いろいろ.ast; do
  cmp -s "$source/examples/$list" "$usr/share/koron-aa/$list" ||
    fail "installed $list differs from examples/$list"
done
if dups=$(find "$root" -type f -exec md5sum {} + | sort | uniq -D -w32 | grep .); then
  fail "files installed twice: $dups"
fi

# gzip -9n: the maximum level, and no file name or time stamp, so rebuilds give the same bytes.
for gz in "$man_page" "$doc/changelog.gz" "$doc/README.md.gz"; do
  [ -f "$gz" ] || continue
  kind=$(file -b "$gz")
  if ! gzip -t "$gz" || ! grep -q 'max compression' <<<"$kind" ||
     grep -Eq 'was "|last modified' <<<"$kind"; then
    fail "${gz#"$root"} is not gzip -9n: $kind"
  fi
done
if [ -f "$man_page" ]; then
  man_text=$(zcat "$man_page")
  grep -m1 '^\.TH' <<<"$man_text" | grep -qF "\"koron\\-aa $version\"" ||
    fail "manual page title is not at version $version: $(grep -m1 '^\.TH' <<<"$man_text")"
  # Every option the program lists in its help is in the manual page.
  if help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
              timeout 20 "$usr/bin/koron-aa" --help 2>/dev/null); then
    for opt in $(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u); do
      grep -qF -- "${opt//-/\\-}" <<<"$man_text" || fail "--help lists $opt, the manual page does not"
    done
  fi
fi
if [ -f "$doc/changelog.gz" ]; then
  first=$(zcat "$doc/changelog.gz" | sed -n 1p)
  grep -q "^koron-aa ($version) " <<<"$first" || fail "changelog does not begin at $version: $first"
fi
# The copyright file's licence text is the LICENSE file's.
if ! diff <(sed -n '/^Permission is hereby granted/,$p' "$source/LICENSE") \
          <(sed -n '/^ Permission is hereby granted/,/^$/p' "$doc/copyright" |
            sed 's/^ //; s/^\.$//') >/dev/null; then
  fail "the Expat licence in the copyright file differs from LICENSE"
fi

if missing=$(ldd "$usr/bin/koron-aa" | grep 'not found'); then
  fail "unresolved libraries: $missing"
fi

# desktop-file-validate prints hints too; a clean entry prints nothing.
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate exited non-zero"
[ -z "$out" ] || fail "desktop-file-validate: $out"

entry_key() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
exec_cmd=$(entry_key Exec)
# Every launcher, the actions' too, runs the installed program with options it lists in --help.
usage=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$usr/bin/koron-aa" --help \
          2>/dev/null) || usage=
while read -r cmd; do
  [ -x "$usr/bin/${cmd%% *}" ] || fail "Exec=$cmd is not an installed program"
  for opt in $(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$cmd"); do
    grep -qF -- "$opt" <<<"$usage" || fail "Exec=$cmd: --help does not list $opt"
  done
done < <(sed -n 's/^Exec=//p' "$desktop")
grep -q '^Actions=.*library;' "$desktop" || fail "the desktop entry has no action for the library"
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
