#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the warnings-as-errors build,
# the sanitizer build, and a short bounded run of each fuzz target. Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh" --test

jobs=$(nproc)

echo "== build and test (warnings are errors)"
cmake --preset ci >/dev/null
cmake --build build-ci -j "$jobs"
ctest --test-dir build-ci --output-on-failure -j "$jobs"

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build build-asan -j "$jobs"
# LeakSanitizer stops every thread at exit to look for leaks; when one of Qt's threads is still
# ending, its tracer can crash on its own ("Tracer caught signal"). Tests that failed only that
# way run once more; any other failure stands.
asan_log=build-asan/ctest-output.log
if ! ctest --test-dir build-asan --output-on-failure -j "$jobs" 2>&1 | tee "$asan_log"; then
  if grep -q "Tracer caught signal" "$asan_log" \
      && ! grep -q -e "ERROR: LeakSanitizer: detected memory leaks" -e "ERROR: AddressSanitizer" \
                   -e "runtime error:" "$asan_log"; then
    echo "== LeakSanitizer's tracer crashed at exit; running the failed tests again"
    ctest --test-dir build-asan --output-on-failure --rerun-failed
  else
    exit 1
  fi
fi

echo "== short fuzz runs"
CXX=clang++ cmake --preset fuzz >/dev/null
cmake --build build-fuzz -j "$jobs"
"$root/scripts/fuzz-short.sh" "$root/build-fuzz"

echo "== all tests passed"
