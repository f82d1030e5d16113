#!/usr/bin/env bash
# Start-up time of the tool against a bare Qt window, both under one private Xvfb.
#
#   bench/startup/run.sh [BUILD_DIR] [RUNS]
#
# The tool starts in a temporary directory holding two list files of 5,000 templates each (code
# page 932, CR LF), then in an empty one. Times run from the start of the program to its window
# being mapped; the programs alternate, so that both see the same machine load.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
runs=${2:-20}
mkdir -p "$build"
build=$(cd "$build" && pwd)

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target koron-aa bare_window startup_probe startup_phases >/dev/null

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# One list file: COUNT entries, each a header line and four lines of text art.
make_list() {
  local file=$1 prefix=$2
  awk -v prefix="$prefix" 'BEGIN {
    for (i = 1; i <= 5000; i++) {
      printf "[%s%04d]\r\n", prefix, i
      printf "　　 ∧＿∧\r\n"
      printf "　　（　´∀｀）　＜　%d番目\r\n", i
      printf "　　（　　　　）\r\n"
      printf "　　｜ ｜　|\r\n"
    }
  }' | iconv -f UTF-8 -t CP932 >"$work/$file"
}
make_list AAList_01.txt "追加テンプレート"
make_list AAList_02.txt "表示テンプレート"

mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime
exec 5>"$work/display"
# No reset when the last client leaves: the phases below run one program at a time.
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>"$work/xvfb.log" &
xvfb_pid=$!
exec 5>&-
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
export DISPLAY=:$(head -n 1 "$work/display")
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

echo "start-up to the first mapped window; list files: 2 x 5,000 templates ($(du -h "$work/AAList_01.txt" | cut -f1) each)"
echo "machine: $(nproc) cores, $(uname -sr)"
"$build/bench/startup/startup_probe" "$runs" "$work" "$build/bench/startup/bare_window" \
  "$build/app/koron-aa"

# The same without list files separates the lists' share from the window's own.
mkdir "$work/empty"
echo
echo "without list files:"
"$build/bench/startup/startup_probe" "$runs" "$work/empty" "$build/bench/startup/bare_window" \
  "$build/app/koron-aa"

# Where the time goes, step by step inside each process (loading the libraries excluded), to the
# window's first paint.
echo
echo "steps inside the process, with the list files:"
(cd "$work" && "$build/bench/startup/startup_phases" "$runs")
