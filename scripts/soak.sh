#!/usr/bin/env bash
# Runs the end-to-end and controller tests N times (default 5) while the
# machine is loaded (stress-ng keeping two cores busy), and prints how often
# each test passed:
#
#   5/5  KestrumWindowE2e.DeviceUnpluggedOrProgramStoppedIsFoundAgainOrKept
#
# A test that depends on a coincidence of timing shows here. Builds like
# scripts/test.sh (build-test, sanitizers); the logs of the rounds are kept in
# build-test/soak/. SOAK_LOAD="stress-ng --cpu 4" chooses another load;
# SOAK_LOAD=none runs without one.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
case $rounds in '' | *[!0-9]*) echo "usage: scripts/soak.sh [N]" >&2; exit 2 ;; esac
scripts/deps.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DKESTRUM_SANITIZE=ON -DKESTRUM_TESTS=ON >/dev/null
cmake --build build-test -j"$(nproc)"

. scripts/xvfb.sh

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

load=${SOAK_LOAD:-stress-ng --cpu 2 --quiet}
load_pid=""
stop_load() { [ -n "$load_pid" ] && kill "$load_pid" 2>/dev/null || true; cleanup; }
trap stop_load EXIT
if [ "$load" != none ]; then
  # shellcheck disable=SC2086
  $load &
  load_pid=$!
fi

pattern='^([A-Za-z]+/)?(Kestrum[A-Za-z]*E2e|Tlctrl[A-Za-z]*)\.'
logs=build-test/soak
mkdir -p "$logs"
for r in $(seq 1 "$rounds"); do
  ctest --test-dir build-test -R "$pattern" -j2 --timeout 300 --output-on-failure >"$logs/round$r.log" 2>&1 || true
  echo "round $r of $rounds: $(grep -c ' Passed ' "$logs/round$r.log" || true) passed," \
       "$(grep -Ec '\*\*\*(Failed|Timeout)|Exception' "$logs/round$r.log" || true) failed"
done

# "  1/40 Test  #7: KestrumWindowE2e.Name .....   Passed   12.3 sec"
awk -v rounds="$rounds" '
  /Test +#[0-9]+: / {
    name = $0; sub(/.*Test +#[0-9]+: /, "", name); sub(/ .*/, "", name)
    seen[name] = 1
    if ($0 ~ / Passed /) pass[name]++
  }
  END { for (n in seen) printf "%d/%d  %s\n", pass[n], rounds, n }' "$logs"/round*.log | sort -k2
