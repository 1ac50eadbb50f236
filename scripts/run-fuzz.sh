#!/usr/bin/env bash
# Fuzzes the readers of server and user input with libFuzzer.
#   scripts/run-fuzz.sh [seconds per target (600)] [target...]
# Builds the clang fuzz tree (build-fuzz/, or $ORVEL_FUZZ_BUILD_DIR) with
# AddressSanitizer and UndefinedBehaviorSanitizer, then runs each target for
# the given time, one after the other, starting from fuzz/corpus/<target>.
# New inputs go to a scratch folder; a crash leaves its input in the log's
# folder (copy it into fuzz/corpus/<target>/ once the fault is fixed). Prints
# each target's executions and time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
shift || true
build=${ORVEL_FUZZ_BUILD_DIR:-$root/build-fuzz}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=($(cd "$root/fuzz/corpus" && ls))
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVEL_FUZZ=ON -DORVEL_SANITIZE=address,undefined -DORVEL_BUILD_BENCH=OFF
fi
cmake --build "$build" --target $(printf 'fuzz_%s ' "${targets[@]}")
logs=$(mktemp -d "${TMPDIR:-/tmp}/orvel-fuzz.XXXXXX")
status=0
for t in "${targets[@]}"; do
  mkdir -p "$logs/$t/new"
  start=$(date +%s)
  if (cd "$logs/$t" && "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
        "$logs/$t/new" "$root/fuzz/corpus/$t" >"$logs/$t/log" 2>&1); then
    result=ok
  else
    result="FINDING (see $logs/$t)"
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$t/log" | tail -1)
  echo "fuzz_$t: ${runs:-?} executions in $(( $(date +%s) - start )) s: $result"
done
exit $status
