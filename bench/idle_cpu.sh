#!/usr/bin/env bash
# CPU used by a connected, idle kestrum: the program runs against tolvan-sim
# (9600 baud) with the life check going (a status request every second) and
# nobody touching the window; user+system time over a number of seconds
# (default 60), read from /proc. Not a test: a measurement to report.
#
#   bench/idle_cpu.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-60}
baud=9600

. bench/lib.sh

dir=$work/idle
mkdir -p "$dir"
start_sim "$dir"
start_kestrum "$dir"
pid=${pids[-1]}
wait_log "$dir" "TX .* status-info" 15
sleep 2
hz=$(getconf CLK_TCK)
polls0=$(grep -c 'RX .* status-request' "$dir/sim.log" || true)
read -r u0 s0 < <(awk '{print $14, $15}' /proc/$pid/stat)
sleep "$secs"
read -r u1 s1 < <(awk '{print $14, $15}' /proc/$pid/stat)
polls1=$(grep -c 'RX .* status-request' "$dir/sim.log" || true)
ticks=$(( (u1 - u0) + (s1 - s0) ))
awk -v t="$ticks" -v hz="$hz" -v s="$secs" -v p=$((polls1 - polls0)) -v load="$(cut -d' ' -f1-3 /proc/loadavg)" \
  'BEGIN { cpu = t / hz; printf "idle connected %ds (%d status requests answered): user+system %.2f s = %.2f%% of one core; load average %s\n", s, p, cpu, 100 * cpu / s, load }'
