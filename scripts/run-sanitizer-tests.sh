#!/usr/bin/env bash
# The test suite again, built with sanitizers (clang):
#   address  AddressSanitizer + UndefinedBehaviorSanitizer, every test and the
#            fuzz corpus replays (build-asan/)
#   thread   ThreadSanitizer, the tests of the transfer engine, the queue, the
#            requests and the stores (build-tsan/)
#   scripts/run-sanitizer-tests.sh [address|thread]...   (both by default)
# Build folders can be moved with ORVEL_ASAN_BUILD_DIR / ORVEL_TSAN_BUILD_DIR.
# Any finding fails the test that made it; known findings inside Qt are
# suppressed in scripts/sanitizers/, each with its reason.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
lanes=("$@")
[ ${#lanes[@]} -eq 0 ] && lanes=(address thread)
supp="$root/scripts/sanitizers"
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 QT_QUICK_BACKEND=software
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0:strict_string_checks=0"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$supp/ubsan.supp"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp:report_signal_unsafe=0"

# The tests ThreadSanitizer runs: threads meet in these (the transfer
# workers on their threads, the digest jobs and the store's writer on pools,
# the request pool, the queue and the stores; the restart test's client
# processes are built with the sanitizer too).
tsan_tests=(tst_vuploadrequest tst_vtransferthrottle tst_vglobalqueue tst_db_setting
            tst_vdownloadfile tst_vuploadfile tst_vurlrequest tst_api tst_api_server
            tst_db_self tst_db_self_syn tst_transfertasks tst_transferrestart tst_transfer_tls)

configure() { # build-dir sanitizers
  if [ ! -f "$1/CMakeCache.txt" ]; then
    # -O1 without debug tables: the sanitizers' stacks still name functions
    # and lines (-gline-tables-only), and the build takes half the time.
    CC=clang CXX=clang++ cmake -S "$root" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=None \
      "-DCMAKE_CXX_FLAGS=-O1 -gline-tables-only" "-DCMAKE_C_FLAGS=-O1 -gline-tables-only" \
      -DORVEL_SANITIZE="$2" -DORVEL_BUILD_BENCH=OFF "${@:3}"
  fi
}

for lane in "${lanes[@]}"; do
  start=$(date +%s)
  case "$lane" in
    address)
      build=${ORVEL_ASAN_BUILD_DIR:-$root/build-asan}
      configure "$build" address,undefined
      cmake --build "$build" --parallel "$(nproc)"
      # the Debian package check builds packages; the first lane runs it
      (cd "$build" && ctest --output-on-failure --parallel 2 -LE package)
      ;;
    thread)
      build=${ORVEL_TSAN_BUILD_DIR:-$root/build-tsan}
      configure "$build" thread
      cmake --build "$build" --parallel "$(nproc)" --target "${tsan_tests[@]}"
      regex="^($(IFS='|'; echo "${tsan_tests[*]}"))\$"
      (cd "$build" && ctest --output-on-failure --parallel 2 -R "$regex")
      ;;
    *) echo "run-sanitizer-tests: unknown lane $lane" >&2; exit 2 ;;
  esac
  echo "sanitizer lane $lane: $(( $(date +%s) - start )) s"
done
