#!/usr/bin/env bash
# How close the program comes to the speed of the wire: a full download
# ("Ophalen") and upload ("Programmeren") of 200 entries and a firmware
# upgrade of a 100 KiB image through the real program against tolvan-sim
# paced at 9600 baud (10 bits a byte, as a UART), each next to the time its
# bytes alone need on the wire. Not a test: a
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

# measure NAME DIR REQUEST END [AFTER]: one line for the exchange that starts
# with the unit described REQUEST and ends with the unit described END (the
# first one after a unit described AFTER, when given) in DIR/sim.log.
# The log stamps a received unit when its last byte has arrived and a sent
# unit when it is queued, before its bytes take their time on the wire.
measure() {
  awk -v name="$1" -v req="$3" -v end="$4" -v after="${5:-}" -v baud="$baud" '
    $2 == "RX" || $2 == "TX" {
      what = ""; n = 0
      for (i = 3; i <= NF; i++) { if ($i ~ /^[0-9A-F][0-9A-F]$/ && what == "") n++; else what = what $i " " }
      unitMs = n * 10000 / baud
      if (!on && index(what, req) == 1) { on = 1; t0 = $1 - ($2 == "RX" ? unitMs : 0) }
      if (on) { bytes += n; t1 = $1 + ($2 == "TX" ? unitMs : 0) }
      if (on && after != "" && index(what, after) == 1) after = ""
      if (on && after == "" && index(what, end) == 1) { on = 0; done = 1 }
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
  device_kvn 'Instelling%02d|06%08d' >"$dir/device.kvn"
  start_sim "$dir" --kvn "$dir/device.kvn"
  start_kestrum "$dir"
  local win
  win=$(kestrum_window)
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

# A firmware upgrade of a 100 KiB image (the largest a pack takes) through
# "-upgrade" against a simulator of its own: from the upgrade request to the
# device's ACK of the end of transfer (EOT).
bench_upgrade() {
  local dir=$work/upgrade app=102399 pack
  mkdir -p "$dir/bins"
  cp -R "$root/data/." "$dir/"
  mkdir -p -m 700 "$dir/xdg"
  # 0x100 bytes before the start address, then the image: identification
  # first, random bytes after.
  { head -c 256 /dev/zero
    printf 'xxH.49TL8888GM-EDyyVERSION: TL-6.20STD001'
    head -c $((app - 41)) /dev/urandom; } >"$dir/bins/TL8888GM-ED_620.bin"
  head -c 1800 /dev/zero | tr '\0' 'Z' >"$dir/bins/BOOT_LOAD_H49.bin"
  (cd "$dir" && XDG_RUNTIME_DIR="$dir/xdg" KESTRUM_DIALOG_SCRIPT=/dev/null \
    "$kestrum_bin" -cmdl_crtrpa -bindir bins >"$dir/create.out" 2>&1) || true
  pack=$(cd "$dir/RevPacks" 2>/dev/null && ls -- *.rpa 2>/dev/null | head -n1)
  if [ -z "$pack" ]; then
    echo "wire.sh: no revision pack made for the upgrade" >&2
    return 1
  fi
  start_sim "$dir" --image-out "$dir/image.bin"
  local sim_pid=${pids[-1]}
  PORT="$dir/tty" awk 'BEGIN { p = ENVIRON["PORT"] } /^comport=/ { print "comport=" p; next } { print }' \
    "$root/data/config.ini" >"$dir/config.ini"
  if ! (cd "$dir" && XDG_RUNTIME_DIR="$dir/xdg" KESTRUM_DIALOG_SCRIPT=/dev/null timeout 900 \
    "$kestrum_bin" -upgrade -revpack "$pack" -binfile "Tolvan 8888 GSM_620.bin" \
    >"$dir/kestrum.out" 2>&1); then
    echo "wire.sh: the upgrade did not end with exit code 0; the ends of its logs:" >&2
    tail -n 5 "$dir/kestrum.out" "$dir/create.out" >&2 || true
    tail -n 8 "$dir/sim.log" | cut -c1-160 >&2 || true
    return 1
  fi
  sleep 0.5
  kill "$sim_pid" 2>/dev/null || true
  measure upgrade "$dir" upgrade-request ack eot
}

echo "wire at $baud baud; load average $(cut -d' ' -f1-3 /proc/loadavg)"
bench_download_upload
if declare -F bench_upgrade >/dev/null; then bench_upgrade; fi
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
