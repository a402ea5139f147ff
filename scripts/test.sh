#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test (GUI tests on a private Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DKESTRUM_SANITIZE=ON -DKESTRUM_TESTS=ON >/dev/null
cmake --build build-test -j"$jobs"
if [ -d fuzz ]; then
  # The fuzz targets need clang's libFuzzer; they are built, not run, here.
  cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DKESTRUM_TESTS=OFF -DKESTRUM_FUZZ=ON >/dev/null
  cmake --build build-fuzz -j"$jobs" --target fuzz_all
fi

xvfb_pid=""
dispfile=$(mktemp)
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; rm -f "$dispfile"; }
trap cleanup EXIT
if [ -z "${KESTRUM_TEST_DISPLAY:-}" ]; then
  # Xvfb picks a free display itself, so parallel runs never collide.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dispfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$dispfile" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$dispfile")"
else
  export DISPLAY="$KESTRUM_TEST_DISPLAY"
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-test --output-on-failure -j$((jobs * 2)) --timeout 300
