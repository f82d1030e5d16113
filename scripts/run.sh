#!/usr/bin/env bash
# Installs what building and running need when it is missing, builds the tool and starts it with
# the example template lists. Arguments go to the tool: scripts/run.sh --print --marchers 5
#
# The tool works in a folder of the build tree, not in examples/: the lists and the example
# collections of AA/ are refreshed there from examples/ on every run, and MARU.ini, which the
# tool writes, stays there between runs and out of the source tree. Other files put in its AA/
# are left alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# What installing and building print goes to stderr: stdout is the tool's (run.sh --print | ...).
"$root/scripts/install-deps.sh" >&2

# A build of its own without the tests and benchmarks, so that it needs none of their packages.
build=$root/build-run
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORON_BUILD_TESTS=OFF -DKORON_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target koron-aa >&2

# A working folder named on this command line is used as it is.
for arg in "$@"; do
  case $arg in
    --dir | --dir=* | -dir | -dir=* | --user-dir | -user-dir) exec "$build/app/koron-aa" "$@" ;;
  esac
done
work=$build/examples
mkdir -p "$work/AA"
cp "$root/examples/AAList_01.txt" "$root/examples/AAList_02.txt" "$work/"
cp "$root/examples/AA/"* "$work/AA/"
exec "$build/app/koron-aa" --dir "$work" "$@"
