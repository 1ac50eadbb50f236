#!/usr/bin/env bash
# Foundation benchmarks: fileSha256 of a 1 GiB file beside `openssl dgst
# -sha256` on the same file in the same run, and sorting a 100 000-entry list.
# Usage: bench/run-foundation.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${ORVEL_BUILD_DIR:-$root/build}}
cmake --build "$build" --target bench_digest bench_sort >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
file=$work/one-gib.bin
# Random content (no sparse or compressible shortcut), 1 GiB.
{ openssl enc -aes-128-ctr -pass pass:orvel -nosalt -pbkdf2 </dev/zero 2>/dev/null || true; } | head -c 1073741824 >"$file"
cat "$file" >/dev/null # both readers start from the page cache

best_openssl=0
for _ in 1 2 3; do
  start=$(date +%s.%N)
  ref=$(openssl dgst -sha256 -r "$file" | cut -d' ' -f1)
  end=$(date +%s.%N)
  mbs=$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%d", 1073.741824 / (e - s) }')
  [ "$mbs" -gt "$best_openssl" ] && best_openssl=$mbs
done

out=$("$build/bench/bench_digest" "$file" 3)
mine=$(sed -n 's/^sha256 //p' <<<"$out")
ours=$(sed -n 's/^fileSha256 MB\/s //p' <<<"$out")
rss=$(sed -n 's/^peak RSS KiB before \([0-9]*\) after \([0-9]*\)/\1 -> \2 KiB/p' <<<"$out")

echo "load average before: $(cut -d" " -f1-3 /proc/loadavg) on $(nproc) cores (figures scale with it)"
echo "== SHA-256 of a 1 GiB file (best of 3, page cache warm)"
echo "openssl dgst -sha256 : $best_openssl MB/s"
echo "VUtils::fileSha256   : $ours MB/s ($(awk -v a="$ours" -v b="$best_openssl" 'BEGIN { printf "%.0f", 100 * a / b }') % of openssl)"
echo "peak memory          : $rss"
if [ "$mine" = "$ref" ]; then echo "digests agree        : $ref"; else echo "DIGESTS DIFFER: $mine vs $ref"; exit 1; fi
echo
echo "== sortJsonArray, 100 000 listing entries (best of 3; goal under 100 ms)"
"$build/bench/bench_sort" 100000
