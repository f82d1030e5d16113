#!/usr/bin/env bash
# Builds the tool if needed and writes docs/screenshot.png: the window under a private Xvfb with
# the example lists and a composed picture; and docs/library.png: the library window over the
# example lists and collections.
#
#   scripts/screenshot.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}

"$root/scripts/install-deps.sh" --test  # Xvfb and python3 too
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target koron-aa
python=/usr/bin/python3
[ -x "$python" ] || python=python3
"$python" -B "$root/tests/e2e/screenshot.py" "$build/app/koron-aa" "$root/examples" \
  "$root/docs/screenshot.png"
exec "$python" -B "$root/tests/e2e/screenshot.py" --library "$build/app/koron-aa" \
  "$root/examples" "$root/docs/library.png"
