#!/usr/bin/env bash
# Builds the test suite without sanitizers into build-valgrind and runs every
# test under valgrind's memcheck, the programs the tests start included
# (kestrum, tolvan-sim). Any memcheck error in any process fails the run.
#   scripts/valgrind.sh [ctest arguments, e.g. -R SettingBin]
# KESTRUM_VALGRIND_JOBS sets the parallel tests (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/deps.sh
if ! command -v valgrind >/dev/null; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq valgrind
fi

build=build-valgrind
logs=$root/$build/memcheck
# Every test executable runs through the wrapper (CMake's emulator hook),
# which also follows the programs the test starts.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
      -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DKESTRUM_SANITIZE=OFF -DKESTRUM_TESTS=ON \
      -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/valgrind-wrap.sh" \
      -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" >/dev/null
cmake --build "$build" -j"$(nproc)"

rm -rf "$logs"
mkdir -p "$logs"
export KESTRUM_VALGRIND_LOGS=$logs
# The waits of the test helpers grow with the slowness.
export KESTRUM_TEST_TIME_SCALE=${KESTRUM_TEST_TIME_SCALE:-10}

. scripts/xvfb.sh

start=$(date +%s)
rc=0
# Memcheck slows the programs down 20 to 50 times: a long time-out per test.
ctest --test-dir "$build" --output-on-failure -j"${KESTRUM_VALGRIND_JOBS:-2}" --timeout 3000 "$@" || rc=$?
end=$(date +%s)

# A child's error does not always reach its test's result: read every log.
# A process that a test killed leaves no summary, only its error records.
bad=$(grep -lE 'ERROR SUMMARY: [1-9]|== (Invalid (read|write|free)|Conditional jump|Use of uninitialised|Syscall param|Mismatched free|Source and destination overlap|Argument .* of function)' \
      "$logs"/*.log 2>/dev/null || true)
nlogs=$(ls "$logs" | wc -l)
killed=$(grep -L "ERROR SUMMARY" "$logs"/*.log 2>/dev/null | wc -l)
echo "memcheck: $nlogs processes checked in $((end - start)) s ($killed ended without a summary: killed by their test)"
if [ -n "$bad" ]; then
  echo "memcheck errors in:"
  for f in $bad; do
    echo "== $f"
    sed -n '1,200p' "$f"
  done
  rc=1
fi
[ "$rc" -eq 0 ] && echo "memcheck: no errors"
exit "$rc"
