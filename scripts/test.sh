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

. scripts/xvfb.sh

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-test --output-on-failure -j$((jobs * 2)) --timeout 300
