#!/usr/bin/env bash
# Preview and edit-back timings (bench_ui_preview), with the reference tools'
# figures from the same run: curl fetching the same preview page (the
# server's share of a page load) and openssl hashing a file of the edit
# copy's size (the digest every save check computes).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVEL_BUILD_DIR:-$root/build}
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 QT_QUICK_BACKEND=software
out=$(mktemp)
trap 'rm -f "$out" "$out.bin"' EXIT
"$build/bench/bench_ui_preview" | tee "$out" | grep -v '^preview_url'
url=$(sed -n 's/^preview_url //p' "$out")
echo "reference: curl preview page $(curl -s -o /dev/null -w '%{time_total}' "$url" | awk '{printf "%.1f", $1*1000}') ms"
size=$(sed -n 's/^editback_file_bytes //p' "$out")
head -c "$size" /dev/zero > "$out.bin"
start=$(date +%s%N); openssl dgst -sha256 "$out.bin" > /dev/null; end=$(date +%s%N)
echo "reference: openssl sha256 of $size bytes $(( (end - start) / 1000000 )) ms"
