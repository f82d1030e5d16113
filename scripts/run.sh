#!/usr/bin/env bash
# Installs what is missing, builds the tool and starts it with the example template lists.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake --preset default -S "$root" >/dev/null
cmake --build "$root/build" --target koron-aa
cd "$root/examples"
exec "$root/build/app/koron-aa" "$@"
