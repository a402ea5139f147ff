#!/usr/bin/env bash
# How close the program comes to the speed of the wire: a full download
# ("Ophalen") and upload ("Programmeren") of 200 entries through the real
# program against tolvan-sim paced at 9600 baud (10 bits a byte, as a UART),
# each next to the time its bytes alone need on the wire. Not a test: a
# measurement to report. One line per exchange:
#
#   download: elapsed=7.40 s wire=7.27 s bytes=6982 ratio=0.98
#
# elapsed runs from the first byte of the request entering the wire to the
# last byte of the exchange leaving it; wire is the bytes of both directions
# at 10 bits each; ratio = wire / elapsed, so 1.0 is the physical limit. The
# times come from the simulator's log, so the program's start-up does not
# count. The program is driven through its window with xdotool (a private
# Xvfb is started when DISPLAY is not set). The machine's load shows on the
# figures: the load average is printed with them.
#
#   bench/wire.sh [BAUD]       (default 9600)
#   WIRE_KEEP=1 bench/wire.sh  keeps the logs (sim.log: every unit, stamped)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
baud=${1:-9600}

. bench/lib.sh

# measure NAME DIR REQUEST END: one line for the exchange that starts with the
# unit described REQUEST and ends with the unit described END in DIR/sim.log.
# The log stamps a received unit when its last byte has arrived and a sent
# unit when it is queued, before its bytes take their time on the wire.
measure() {
  awk -v name="$1" -v req="$3" -v end="$4" -v baud="$baud" '
    $2 == "RX" || $2 == "TX" {
      what = ""; n = 0
      for (i = 3; i <= NF; i++) { if ($i ~ /^[0-9A-F][0-9A-F]$/ && what == "") n++; else what = what $i " " }
      unitMs = n * 10000 / baud
      if (!on && index(what, req) == 1) { on = 1; t0 = $1 - ($2 == "RX" ? unitMs : 0) }
      if (on) { bytes += n; t1 = $1 + ($2 == "TX" ? unitMs : 0) }
      if (on && index(what, end) == 1) { on = 0; done = 1 }
    }
    END {
      if (!done) { printf "%s: incomplete\n", name; exit 1 }
      elapsed = (t1 - t0) / 1000; wire = bytes * 10 / baud
      printf "%s: elapsed=%.2f s wire=%.2f s bytes=%d ratio=%.2f\n", name, elapsed, wire, bytes, wire / elapsed
    }' "$2/sim.log"
}

# ---- download and upload of 200 entries --------------------------------------

bench_download_upload() {
  local dir=$work/settings
  mkdir -p "$dir"
  # Every entry filled: a 12-character text and a 10-digit number.
  for n in $(seq 1 200); do
    case $n in
      10) echo "TL8888GM-ED|" ;;
      20) echo "STD|" ;;
      *) printf 'Instelling%02d|06%08d\n' $((n % 100)) "$n" ;;
    esac
  done >"$dir/device.kvn"
  start_sim "$dir" --kvn "$dir/device.kvn"
  start_kestrum "$dir"
  local win
  win=$(timeout 30 xdotool search --sync --name "Tolvan Programmeer Omgeving" | head -n1)
  wait_log "$dir" "TX .* status-info" 15
  sleep 1
  xdotool mousemove --window "$win" 445 37 click 1 # Ophalen
  wait_log "$dir" "TX .* download-end" 120
  sleep 2
  xdotool mousemove --window "$win" 330 37 click 1 # Programmeren
  wait_log "$dir" "RX .* upload-end" 120
  sleep 0.5
  measure download "$dir" download-request download-end
  measure upload "$dir" upload-request upload-end
}

# ---- firmware upgrade ----------------------------------------------------------
# bench_upgrade (100 KiB image) is defined here, with the helpers above, and
# prints its own "upgrade:" line in the same format.

echo "wire at $baud baud; load average $(cut -d' ' -f1-3 /proc/loadavg)"
bench_download_upload
if declare -F bench_upgrade >/dev/null; then bench_upgrade; fi
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
