#!/usr/bin/env bash
# Disk page benchmarks: a 10 000- and a 100 000-entry folder in the page
# (offscreen, canned replies, lag probe), a drop of 10 000 files in 1 000
# folders, and the stand-in service listing those folders beside curl
# fetching the same listing in the same run (the program runs curl itself).
# Usage: bench/run-disk.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${ORVEL_BUILD_DIR:-$root/build}}
cmake --build "$build" --target bench_ui_disklist bench_ui_drop bench_server_list >/dev/null
export QT_QPA_PLATFORM=offscreen
echo "load average before: $(cut -d" " -f1-3 /proc/loadavg) on $(nproc) cores (figures scale with it)"
echo "== the page with a large folder (goals: first page <= 600 ms, page change and re-sort <= 100 ms, stall <= 50 ms, <= 100 rows)"
"$build/bench/bench_ui_disklist" 10000 100000
echo
echo "== a drop of 10 000 files in 1 000 folders (goal: walk and records <= 1.5 s, stall <= 50 ms)"
"$build/bench/bench_ui_drop" 1000 10
echo
echo "== the stand-in service (goal: 100 000 entries listed in <= 1 s)"
"$build/bench/bench_server_list" 10000 100000
