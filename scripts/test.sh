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
ctest --test-dir build-asan --output-on-failure -j "$jobs"

echo "== short fuzz runs"
CXX=clang++ cmake --preset fuzz >/dev/null
cmake --build build-fuzz -j "$jobs"
"$root/scripts/fuzz-short.sh" "$root/build-fuzz"

echo "== all tests passed"
