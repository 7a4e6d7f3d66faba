#!/bin/bash
# Builds Netquill with a sanitizer in a build directory of its own and runs
# the tests under it; any finding fails the run.
#
#   scripts/sanitize.sh asan   AddressSanitizer + UndefinedBehaviorSanitizer,
#                              the whole test suite (build-asan/)
#   scripts/sanitize.sh tsan   ThreadSanitizer, the tests that run threads of
#                              ours: the batch pool, the capture thread and
#                              the simulator's thread (build-tsan/)
#
# Extra arguments go to ctest. Both use g++ at -O1 without the benchmarks.
# NETQUILL_ASAN_DIR / NETQUILL_TSAN_DIR choose other build directories.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
KIND=${1:-}
[ $# -gt 0 ] && shift

case "$KIND" in
asan)
  BUILD=${NETQUILL_ASAN_DIR:-build-asan}
  OPTION=-DNETQUILL_SANITIZE=ON
  TARGETS=()
  TESTS=()
  # LSAN_OPTIONS (the offscreen plugin's leak) is set per test by CTest.
  export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  ;;
tsan)
  BUILD=${NETQUILL_TSAN_DIR:-build-tsan}
  OPTION=-DNETQUILL_TSAN=ON
  # The batch pool (worker threads, its first-device and failure-limit rules,
  # and the dialog over them), the capture thread (only ever started inside
  # network namespaces), and the link, the programming run and page against
  # the simulator running in its own thread.
  TESTS=(tst_batchpool tst_batchprogrammingdialog tst_discovery_netns tst_commtcp tst_cardsim
    tst_programmingpage tst_programmingrun)
  TARGETS=("${TESTS[@]}" netquill-discoverysim)
  # Debian's Qt and GLib are not instrumented: their own loads and stores
  # are never checked, but without ignore_noninstrumented_modules their
  # calls to free, memcpy and the like would be, and those free or copy what
  # one thread handed to another under Qt's futex mutexes, which the race
  # detector cannot see (the arguments of a queued call, a posted event, an
  # implicitly shared buffer). Their pthread locks and conditions still
  # count. tests/support/tsanqt.cpp tells the detector about the Qt
  # synchronisation our code calls.
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:history_size=4:ignore_noninstrumented_modules=1:suppressions=$ROOT/tests/tsan.supp"
  ;;
*)
  echo "usage: $0 asan|tsan [ctest arguments]" >&2
  exit 2
  ;;
esac

scripts/setup-deps.sh >&2

start=$(date +%s)
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g" \
  "$OPTION" -DNETQUILL_BENCH=OFF >/dev/null
if [ ${#TARGETS[@]} -gt 0 ]; then
  # The translations are a dependency of every test.
  cmake --build "$BUILD" -j2 --target "${TARGETS[@]}"
else
  cmake --build "$BUILD" -j2
fi
built=$(date +%s)

cd "$BUILD"
status=0
if [ ${#TESTS[@]} -gt 0 ]; then
  regex="^($(IFS='|'; echo "${TESTS[*]}"))\$"
  ctest --output-on-failure -j2 -R "$regex" "$@" || status=$?
else
  ctest --output-on-failure -j2 "$@" || status=$?
fi
done=$(date +%s)
echo "sanitize $KIND: build $((built - start)) s, tests $((done - built)) s"
exit $status
