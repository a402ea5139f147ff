#!/usr/bin/env bash
# Fetches ("Ophalen") pressed at every phase of the life check: the program
# asks the device for its status every second, and the answer is on the wire
# for about 56 ms at 9600 baud; a press may come while it is. N fetches
# (default 50) of a device with 10 entries, against tolvan-sim paced at
# 9600 baud, each pressed i*1000/N ms after a status request reached the
# device. Not a test: a measurement to report. It prints
#
#   completed without a time-out: 50 of 50
#   phase after the status request: 3..1012 ms
#   worst extra time over the wire time: 95 ms (fetch 17, phase 345 ms)
#
# A fetch counts as completed when the device sent its download end within
# 8 s of the press (a lost frame stalls the fetch until the 10-second life
# check). The extra time is, from the press to the last byte of the download
# end, what the fetch's own bytes (both directions) do not need on the wire;
# the press is stamped in the simulator's log through its control FIFO just
# before the click, so the click's own latency counts too.
#
#   bench/phase.sh [N]
#   BENCH_BUILD=build-test bench/phase.sh   measures that build tree as it is
#   WIRE_KEEP=1 bench/phase.sh              keeps the logs
set -euo pipefail
cd "$(dirname "$0")/.."
fetches=${1:-50}
baud=9600

. bench/lib.sh

dir=$work/phase
mkdir -p "$dir"
device_kvn 'Naam%03d|06%08d' >"$dir/device.kvn"
start_sim "$dir" --kvn "$dir/device.kvn" --entries 10 --control "$dir/ctl"
# Fetched settings are not in a file: each later fetch asks before it
# replaces them, and is told not to save them.
printf '2\n%.0s' $(seq "$fetches") >"$dir/dialogs.txt"
start_kestrum "$dir"
win=$(kestrum_window)
wait_log "$dir" "TX .* status-info" 15

count() { grep -c -- "$1" "$dir/sim.log" 2>/dev/null || true; }

echo "phase at $baud baud, $fetches fetches; load average $(cut -d' ' -f1-3 /proc/loadavg)"
for i in $(seq 0 $((fetches - 1))); do
  ends=$(count "TX .* download-end")
  requests=$(count "RX .* status-request")
  # The next status request has just reached the device.
  for _ in $(seq 3000); do [ "$(count "RX .* status-request")" -gt "$requests" ] && break; sleep 0.002; done
  sleep "$(awk -v i="$i" -v n="$fetches" 'BEGIN { printf "%.3f", i / n }')"
  echo "ping" >"$dir/ctl"
  xdotool mousemove --window "$win" 445 37 click 1
  for _ in $(seq 80); do [ "$(count "TX .* download-end")" -gt "$ends" ] && break; sleep 0.1; done
  # A stalled fetch ends in the life check's time-out; the device is found
  # again within a second after it.
  if [ "$(count "TX .* download-end")" -le "$ends" ]; then sleep 12; fi
done
sleep 0.3

awk -v baud="$baud" -v fetches="$fetches" '
  function unitBytes(   i, n) { n = 0; for (i = 3; i <= NF; i++) if ($i ~ /^[0-9A-F][0-9A-F]$/) n++; else break; return n }
  function what(   i) { for (i = 3; i <= NF; i++) if ($i !~ /^[0-9A-F][0-9A-F]$/) return $i; return "" }
  $2 == "--" && $3 == "control:" && $4 == "ping" { k++; press[k] = $1; phase[k] = $1 - lastRequest; on = 1; bytes = 0; next }
  $2 == "RX" && what() == "status-request" { lastRequest = $1 }
  on && ($2 == "RX" || $2 == "TX") {
    w = what()
    if (w == "download-request" || w == "setting-entry" || w == "ack" || w == "download-end") bytes += unitBytes()
    if ($2 == "TX" && w == "download-end") {
      end = $1 + unitBytes() * 10000 / baud
      extra = end - press[k] - bytes * 10000 / baud
      if (end - press[k] < 8000) done++
      if (extra > worst) { worst = extra; worstK = k; worstPhase = phase[k] }
      on = 0
    }
  }
  END {
    minP = 1e9; maxP = -1
    for (j = 1; j <= k; j++) { if (phase[j] < minP) minP = phase[j]; if (phase[j] > maxP) maxP = phase[j] }
    printf "completed without a time-out: %d of %d\n", done, fetches
    printf "phase after the status request: %.0f..%.0f ms\n", minP, maxP
    printf "worst extra time over the wire time: %.0f ms (fetch %d, phase %.0f ms)\n", worst, worstK, worstPhase
  }' "$dir/sim.log"
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
