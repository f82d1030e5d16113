#!/usr/bin/env bash
# Installs the Debian packages that are missing, non-interactively, as root or through sudo.
#
#   scripts/install-deps.sh          what building and running the tool need (scripts/run.sh)
#   scripts/install-deps.sh --deb    also what making the Debian package needs
#   scripts/install-deps.sh --test   also every test's tools, the package's too (scripts/test.sh)
#
# Idempotent: when nothing is missing it asks dpkg once and returns.
set -euo pipefail

# Building and running.
run=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libicu-dev libsqlite3-dev
  # xcb, to try the X server before Qt does (Qt aborts when it cannot reach one)
  libxcb1-dev
  # the text-art fonts the window asks for, and a Japanese fallback
  fonts-mona fonts-monapo fonts-ipafont-gothic
  # Qt's own Japanese translation (qtbase_ja), for the standard context menus
  qt6-translations-l10n
)
# Making the Debian package: CPack's dependency list needs dpkg-shlibdeps and file.
deb=(dpkg-dev file)
# Tests, benchmarks, fuzzing and sanitizers.
test=(
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # a real X server, a clipboard reader and a window driver for the end-to-end tests
  xvfb xauth xclip xdotool x11-utils imagemagick python3
  # validation of the desktop files, the package and its manual page
  appstream desktop-file-utils lintian man-db
)

packages=("${run[@]}")
for arg in "$@"; do
  case $arg in
    --deb) packages+=("${deb[@]}") ;;
    --test) packages+=("${deb[@]}" "${test[@]}") ;;
    -h | --help)
      sed -n '2,8s/^# \{0,1\}//p' "$0"
      exit 0
      ;;
    *)
      echo "install-deps.sh: unknown option '$arg' (try --help)" >&2
      exit 2
      ;;
  esac
done

# One dpkg query for all of them; names dpkg has never heard of are simply missing.
installed=$(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${packages[@]}" 2>/dev/null |
  sed -n 's/ installed$//p' || true)
missing=()
for p in "${packages[@]}"; do
  grep -qxF -- "$p" <<<"$installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps.sh: installing needs root; run this as root, or install sudo" >&2
    exit 1
  fi
  as_root=(sudo)
fi
# Through env, because sudo does not pass the caller's environment on.
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
