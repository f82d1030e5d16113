#!/usr/bin/env bash
# Builds the Debian package with CPack from the build tree into a temporary directory and checks
# its control fields and contents, runs lintian on it (any error or warning fails), and renders
# its manual page the way man does, in a UTF-8 locale and in the C locale, without a warning.
# Usage: check_deb.sh <build dir> <version> <app id>
set -euo pipefail
build=$1 version=$2 app_id=$3

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

if ! cpack --config "$build/CPackConfig.cmake" -B "$out" -G DEB >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1
fi
deb=$out/koron-aa_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$deb" ]; then
  ls "$out" >&2; echo "FAIL: no package named $(basename "$deb")" >&2; exit 1
fi

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = koron-aa ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = text ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
for dep in 'fonts-mona | fonts-monapo' qt6-translations-l10n libqt6widgets6 libqt6gui6 libqt6core6; do
  grep -qF -- "$dep" <<<"$depends" || fail "Depends lacks '$dep': $depends"
done
# A sanitizer runtime in Depends would mean an instrumented program got packaged.
if grep -Eq 'libasan|libubsan' <<<"$depends"; then fail "Depends names a sanitizer runtime: $depends"; fi

listing=$(dpkg-deb -c "$deb")
for path in ./usr/bin/koron-aa \
            "./usr/share/applications/$app_id.desktop" \
            "./usr/share/metainfo/$app_id.metainfo.xml" \
            "./usr/share/icons/hicolor/16x16/apps/$app_id.png" \
            "./usr/share/icons/hicolor/32x32/apps/$app_id.png" \
            "./usr/share/icons/hicolor/48x48/apps/$app_id.png" \
            "./usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
            ./usr/share/koron-aa/AAList_01.txt \
            ./usr/share/koron-aa/AAList_02.txt \
            ./usr/share/koron-aa/AA/見本.mlt \
            ./usr/share/koron-aa/AA/顔いろいろ.ast \
            ./usr/share/man/man1/koron-aa.1.gz \
            ./usr/share/doc/koron-aa/copyright \
            ./usr/share/doc/koron-aa/changelog.gz; do
  grep -q " $path\$" <<<"$listing" || fail "package lacks $path"
done
grep -Eq '^-rwxr-xr-x root/root .* \./usr/bin/koron-aa$' <<<"$listing" ||
  fail "program not rwxr-xr-x root/root: $(grep 'usr/bin/koron-aa' <<<"$listing")"
if others=$(grep -v ' root/root ' <<<"$listing"); then
  fail "entries not owned by root: $others"
fi

mkdir "$out/x"
dpkg-deb -x "$deb" "$out/x"
file -b "$out/x/usr/bin/koron-aa" | grep -q ', stripped' || fail "the packaged program is not stripped"

# The manual page as man shows it: lintian renders it in C.UTF-8 only, and a C locale must not
# meet characters its device lacks either.
page=$out/x/usr/share/man/man1/koron-aa.1.gz
if [ -f "$page" ]; then
  for locale in C.UTF-8 C; do
    if ! warnings=$(LC_ALL=$locale MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) ||
       [ -n "$warnings" ]; then
      fail "man -l in the $locale locale: $warnings"
    fi
  done
  whatis=$(lexgrog "$page" 2>&1) || fail "no whatis entry: $whatis"
fi

if ! command -v lintian >/dev/null; then
  fail "lintian is not installed (scripts/install-deps.sh --test installs it)"
else
  # Info and pedantic hints are shown but accepted. lintian complains about running as root.
  status=0
  report=$(lintian --info --pedantic "$deb" 2>&1) || status=$?
  report=$(grep -v '^running with root privileges' <<<"$report" || true)
  if [ "$status" -ne 0 ] || grep -Eq '^[EW]: ' <<<"$report"; then
    fail "lintian (exit status $status):"$'\n'"$report"
  elif [ -n "$report" ]; then
    echo "lintian hints:"$'\n'"$report"
  fi
fi

if [ "$failures" -ne 0 ]; then
  exit 1
fi
echo "package $(basename "$deb") OK"
