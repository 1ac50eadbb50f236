#!/usr/bin/env bash
# Preview and edit-back timings (bench_ui_preview), with the reference tools'
# figures from the same run: curl fetching the same preview page (the
# server's share of a page load, measured by the benchmark while its server
# runs) and openssl hashing a file of the edit copy's size (the digest every
# save check computes).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVEL_BUILD_DIR:-$root/build}
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 QT_QUICK_BACKEND=software
out=$(mktemp)
trap 'rm -f "$out" "$out.bin"' EXIT
"$build/bench/bench_ui_preview" | grep -E '^(preview|editback|reference)_' | tee "$out"
size=$(sed -n 's/^editback_file_bytes //p' "$out")
head -c "$size" /dev/zero > "$out.bin"
start=$(date +%s%N); openssl dgst -sha256 "$out.bin" > /dev/null; end=$(date +%s%N)
echo "reference: openssl sha256 of $size bytes $(( (end - start) / 1000000 )) ms"
