#!/bin/bash
# Transfer benchmarks against a local orvel-server, each beside curl on the
# same server and the same kind of file:
#   1. upload of SIZE_MIB (default 1024) in 5 MiB blocks: orvel-transfer vs curl
#      posting the same multipart blocks in sequence (one curl process);
#   2. download of that file: orvel-transfer vs curl fetching the same URL, both
#      into tmpfs (/dev/shm), DL_RUNS (default 5) runs in alternating order,
#      every run and the medians printed with the load average;
#   3. peak resident memory of orvel-transfer during a BIG_MIB (default 4100)
#      upload and download, which also checks a file above 4 GiB byte for byte
#      (SHA-256 of the local file, the server's copy and the download).
# Usage: bench/run-transfer.sh [BUILD_DIR]   (env: SIZE_MIB, BIG_MIB, RUNS, DL_RUNS, SKIP_BIG=1)
set -euo pipefail
B=$(cd "${1:-build}" && pwd)
SIZE_MIB=${SIZE_MIB:-1024}
BIG_MIB=${BIG_MIB:-4100}
RUNS=${RUNS:-3}
DL_RUNS=${DL_RUNS:-5}
server_bin=$B/server/orvel-server
tool=$B/bin/orvel-transfer
work=$(mktemp -d /tmp/orvel-bench.XXXXXX)
shm=$(mktemp -d /dev/shm/orvel-bench.XXXXXX)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
  rm -rf "$work" "$shm"
}
trap cleanup EXIT

now() { date +%s.%N; }
mibs() { awk -v b="$1" -v s="$2" 'BEGIN { printf "%.1f", b / 1048576 / s }'; }
field() { sed -n "s/^$1 //p" "$2" | tail -1; }

"$server_bin" --listen 127.0.0.1:0 --data "$work/data" --control --quiet >"$work/server.out" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
  grep -q 'listening on' "$work/server.out" && break
  sleep 0.1
done
root=$(sed -n 's/.*listening on \(http[^ ]*\).*/\1/p' "$work/server.out" | head -1)
[ -n "$root" ] || { echo "server did not start"; cat "$work/server.out"; exit 1; }
echo "server $root, work folder $work"
bytes=$((SIZE_MIB * 1048576))

upload_tool() { # file name -> prints seconds; leaves the output in $work/up.out
  "$tool" upload --server "$root" --user demo --password demo123 --file "$1" --to / >"$work/up.out" 2>/dev/null
  field seconds "$work/up.out"
}

upload_curl() { # file -> prints seconds
  local f=$1 name
  name=$(basename "$f")
  "$tool" upload --server "$root" --user demo --password demo123 --file "$f" --to / --register-only >"$work/reg.out" 2>/dev/null
  local token evtid upserver md5 bs n
  token=$(field token "$work/reg.out"); evtid=$(field evtid "$work/reg.out"); upserver=$(field upserver "$work/reg.out")
  md5=$(field md5 "$work/reg.out"); bs=$(field blocksize "$work/reg.out"); n=$(field totalblocknum "$work/reg.out")
  rm -f "$work"/blk.*
  split -b "$bs" -d -a 5 "$f" "$work/blk."
  : >"$work/curl.cfg"
  for ((i = 0; i < n; i++)); do
    printf -v part '%s/blk.%05d' "$work" "$i"
    cat >>"$work/curl.cfg" <<CFG
url = "$upserver/v1/wp/file/Upload"
header = "Authorization: Bearer $token"
form = "file=@$part;filename=$name"
form = "evtid=$evtid"
form = "md5=$md5"
form = "totalblocknum=$n"
form = "block=$i"
form = "blocksize=$bs"
output = "$work/curl-reply.txt"
CFG
    [ $((i + 1)) -lt "$n" ] && echo next >>"$work/curl.cfg"
  done
  sync
  local t0 t1
  t0=$(now)
  curl -s -K "$work/curl.cfg"
  t1=$(now)
  rm -f "$work"/blk.*
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}

echo
echo "== upload, $SIZE_MIB MiB in 5 MiB blocks, best of $RUNS =="
best_tool=999999; best_curl=999999; url=
for r in $(seq "$RUNS"); do
  head -c "$bytes" /dev/urandom >"$work/c$r.bin"
  head -c "$bytes" /dev/urandom >"$work/t$r.bin"
  sc=$(upload_curl "$work/c$r.bin")
  st=$(upload_tool "$work/t$r.bin")
  [ "$(field sha256 "$work/up.out")" = "$(sha256sum "$work/t$r.bin" | cut -d' ' -f1)" ] || { echo "digest mismatch"; exit 1; }
  url=$(field download_url "$work/up.out")
  echo "run $r: orvel-transfer $st s ($(mibs $bytes "$st") MiB/s)   curl $sc s ($(mibs $bytes "$sc") MiB/s)"
  best_tool=$(awk -v a="$best_tool" -v b="$st" 'BEGIN { print (b < a ? b : a) }')
  best_curl=$(awk -v a="$best_curl" -v b="$sc" 'BEGIN { print (b < a ? b : a) }')
  rm -f "$work/c$r.bin"
  [ "$r" -lt "$RUNS" ] && rm -f "$work/t$r.bin"
done
echo "upload best: orvel-transfer $(mibs $bytes "$best_tool") MiB/s, curl $(mibs $bytes "$best_curl") MiB/s," \
  "ratio $(awk -v a="$best_tool" -v b="$best_curl" 'BEGIN { printf "%.0f %%", b / a * 100 }')"
last="$work/t$RUNS.bin"
want=$(sha256sum "$last" | cut -d' ' -f1)

echo
echo "== download of that file into tmpfs, $DL_RUNS interleaved runs =="
# Both tools write to tmpfs, so the figure is the tools' and not the disk's
# write-back; the order alternates so both meet the same load.
[ -n "$url" ] || { echo "no download address"; exit 1; }
tool_times=(); curl_times=()
curl_run() {
  rm -f "$shm/dl-curl.bin"
  local t0 t1
  t0=$(now); curl -s -o "$shm/dl-curl.bin" "$url"; t1=$(now)
  [ "$(sha256sum "$shm/dl-curl.bin" | cut -d' ' -f1)" = "$want" ] || { echo "curl digest mismatch" >&2; exit 1; }
  rm -f "$shm/dl-curl.bin"
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}
tool_run() {
  rm -rf "$shm/dl"; mkdir -p "$shm/dl"
  "$tool" download --url "$url" --out "$shm/dl/dl-tool.bin" --no-rename >"$work/dl.out" 2>/dev/null
  # The server names the file (Content-Disposition); take the path it was saved under.
  [ "$(sha256sum "$(field saved "$work/dl.out")" | cut -d' ' -f1)" = "$want" ] || { echo "download digest mismatch" >&2; exit 1; }
  rm -rf "$shm/dl"
  field seconds "$work/dl.out"
}
for r in $(seq "$DL_RUNS"); do
  if [ $((r % 2)) -eq 1 ]; then sc=$(curl_run); st=$(tool_run); else st=$(tool_run); sc=$(curl_run); fi
  tool_times+=("$st"); curl_times+=("$sc")
  echo "run $r: orvel-transfer $st s ($(mibs $bytes "$st") MiB/s)   curl $sc s ($(mibs $bytes "$sc") MiB/s)" \
    "  ratio $(awk -v a="$st" -v b="$sc" 'BEGIN { printf "%.0f %%", b / a * 100 }')   load $(cut -d' ' -f1-3 /proc/loadavg)"
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
mt=$(median "${tool_times[@]}"); mc=$(median "${curl_times[@]}")
echo "download median of $DL_RUNS: orvel-transfer $mt s ($(mibs $bytes "$mt") MiB/s), curl $mc s ($(mibs $bytes "$mc") MiB/s)," \
  "ratio $(awk -v a="$mt" -v b="$mc" 'BEGIN { printf "%.0f %%", b / a * 100 }') (curl's time / orvel-transfer's)"
rm -rf "$shm"/* "$last"

[ "${SKIP_BIG:-0}" = 1 ] && exit 0
echo
echo "== $BIG_MIB MiB (above 4 GiB): peak resident memory and byte-exact round trip =="
big="$work/big.bin"
head -c $((BIG_MIB * 1048576 + 12345)) /dev/urandom >"$big"
want=$(sha256sum "$big" | cut -d' ' -f1)
upload_tool "$big" >/dev/null
echo "upload:   $(field seconds "$work/up.out") s, peak RSS $(( $(field peak_rss_kib "$work/up.out") / 1024 )) MiB"
stat=$(curl -s "${root}__control/stat?path=/1001/sharedisk/big.bin")
echo "server copy: $stat" | cut -c1-200
echo "$stat" | grep -q "$want" || { echo "server digest differs from $want"; exit 1; }
url=$(field download_url "$work/up.out")
mkdir -p "$work/dl"
"$tool" download --url "$url" --out "$work/dl/big.bin" --no-rename >"$work/dl.out" 2>/dev/null
echo "download: $(field seconds "$work/dl.out") s, peak RSS $(( $(field peak_rss_kib "$work/dl.out") / 1024 )) MiB"
got=$(sha256sum "$(field saved "$work/dl.out")" | cut -d' ' -f1)
[ "$got" = "$want" ] || { echo "download digest mismatch"; exit 1; }
echo "sha256 $want: local, server and download agree ($(stat -c %s "$big") bytes)"
