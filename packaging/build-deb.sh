#!/usr/bin/env bash
# Builds the Debian package: installs what is missing for that, builds the tool without its tests
# in build-deb/ with Debian's hardening flags, and writes build-deb/koron-aa_<version>_<arch>.deb.
# With --install it then installs the package, as root or through sudo.
#
#   packaging/build-deb.sh [--install]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
install=false
case ${1:-} in
  "") ;;
  --install) install=true ;;
  *)
    echo "usage: packaging/build-deb.sh [--install]" >&2
    exit 2
    ;;
esac
# Only the package's path goes to stdout: deb=$(packaging/build-deb.sh)
"$root/scripts/install-deps.sh" --deb >&2

build=$root/build-deb
if [ ! -f "$build/build.ninja" ]; then
  # The flags a Debian package build uses: stack protector, fortified C library calls, read-only
  # relocations bound at start-up. CMake reads them once, when the build directory is made.
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    LDFLAGS=$(dpkg-buildflags --get LDFLAGS) \
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORON_BUILD_TESTS=OFF -DKORON_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" >&2
log=$(cd "$build" && cpack -G DEB)
deb=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$log")
if [ ! -f "$deb" ]; then
  echo "$log" >&2
  exit 1
fi
echo "$deb"

if $install; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" </dev/null >&2
fi
