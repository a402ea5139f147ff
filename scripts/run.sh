#!/usr/bin/env bash
# Runs Kestrum against the device simulator: builds what is missing into
# build/ (Release), prepares run/ from data/, starts tolvan-sim on a
# pseudo-terminal and Kestrum connected to it, and stops the simulator when
# Kestrum exits.
#
#   scripts/run.sh [--port PATH] [--baud N] [--sim-arg ARG]... [-- KESTRUM-ARGS...]
#
#   --port PATH     use this serial port (e.g. /dev/ttyUSB0 or COM1) and no
#                   simulator
#   --baud N        pace the simulated line at N baud (default: full speed)
#   --sim-arg ARG   one more option for tolvan-sim (repeatable), e.g.
#                   --sim-arg --status-byte --sim-arg 5
#   -- ARGS         everything after -- goes to kestrum (e.g. -program x.kvn)
#
# While it runs, control lines for the simulator ("silent on", "silent off",
# "wait 2", "status-byte 5", "unplug", "replug", see tolvan-sim --help) can be
# written to run/tolvan-sim.ctl, e.g.: echo "silent on" > run/tolvan-sim.ctl
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

port=""
baud=""
sim_args=()
kestrum_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --port) [ $# -ge 2 ] || { echo "run.sh: --port needs a path" >&2; exit 2; }; port=$2; shift 2 ;;
    --baud) [ $# -ge 2 ] || { echo "run.sh: --baud needs a number" >&2; exit 2; }; baud=$2; shift 2 ;;
    --sim-arg) [ $# -ge 2 ] || { echo "run.sh: --sim-arg needs a value" >&2; exit 2; }; sim_args+=("$2"); shift 2 ;;
    --) shift; kestrum_args=("$@"); break ;;
    -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
if [ ${#port} -gt 79 ]; then
  echo "run.sh: the port name may hold at most 79 characters" >&2
  exit 2
fi

# Packages first (only what is missing), then build what is missing (a
# configured tree is only brought up to date).
scripts/deps.sh
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKESTRUM_TESTS=OFF >/dev/null
fi
targets=(--target kestrum)
[ -z "$port" ] && targets+=(--target tolvan-sim)
cmake --build build -j2 "${targets[@]}"

# The working directory: shipped files that are missing; the user's own
# files (config.ini, settings files) are kept.
mkdir -p run
cp -R -n data/. run/

sim_pid=""
kestrum_pid=""
cleanup() {
  for p in $kestrum_pid $sim_pid; do
    kill "$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
  done
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if [ -z "$port" ]; then
  # Sample settings the simulated device holds until it is programmed.
  if [ ! -f run/tolvan-sim.kvn ]; then
    for n in $(seq 1 200); do
      case $n in
        1) echo "Tolvan demo|" ;;
        10) echo "TL8888GM-ED|" ;;
        20) echo "STD|" ;;
        11) echo "Installateur|0612345678" ;;
        12) echo "Meldkamer|0201234567" ;;
        21) echo "Ingang 1|" ;;
        22) echo "Ingang 2|" ;;
        *) echo "|" ;;
      esac
    done > run/tolvan-sim.kvn
  fi
  rm -f run/tolvan-sim.ready
  sim_cmd=(build/tools/tolvan-sim/tolvan-sim --link "$root/run/tolvan-tty" --ready
           --kvn "$root/run/tolvan-sim.kvn" --out "$root/run/tolvan-sim-out.kvn"
           --log "$root/run/tolvan-sim.log" --control "$root/run/tolvan-sim.ctl")
  [ -n "$baud" ] && sim_cmd+=(--baud "$baud")
  sim_cmd+=("${sim_args[@]+"${sim_args[@]}"}")
  "${sim_cmd[@]}" </dev/null >run/tolvan-sim.ready 2>run/tolvan-sim.err &
  sim_pid=$!
  for _ in $(seq 100); do
    grep -q '^READY' run/tolvan-sim.ready 2>/dev/null && break
    kill -0 "$sim_pid" 2>/dev/null || { cat run/tolvan-sim.err >&2; exit 1; }
    sleep 0.05
  done
  grep -q '^READY' run/tolvan-sim.ready || { echo "run.sh: tolvan-sim did not start" >&2; exit 1; }
  port="$root/run/tolvan-tty"
  echo "tolvan-sim: $(head -n1 run/tolvan-sim.ready) (link run/tolvan-tty, control run/tolvan-sim.ctl)"
fi

# Point config.ini at the port; every other line stays as the user left it.
touch run/config.ini
PORT="$port" awk 'BEGIN { p = ENVIRON["PORT"]; done = 0 }
  /^comport=/ { print "comport=" p; done = 1; next }
  { print }
  END { if (!done) print "comport=" p }' run/config.ini > run/config.ini.new
mv run/config.ini.new run/config.ini

cd run
# In the background, so that a signal to this script reaches the trap (which
# ends Kestrum and the simulator) at once.
../build/main/kestrum "${kestrum_args[@]+"${kestrum_args[@]}"}" &
kestrum_pid=$!
set +e
wait "$kestrum_pid"
code=$?
set -e
kestrum_pid=""
exit $code
