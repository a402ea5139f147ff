#!/usr/bin/env bash
# How long a full download ("Ophalen") and upload ("Programmeren") of 200
# entries take through the real program against tolvan-sim paced at 9600
# baud, next to the time the bytes of the exchange alone need on the wire
# (10 bits a byte, both directions). The program is driven through its
# window with xdotool (a private Xvfb is started when DISPLAY is not set);
# times come from the simulator's log, so the program's start-up is not
# counted.
#
#   bench/wire.sh [BAUD]       (default 9600)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
baud=${1:-9600}

if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKESTRUM_TESTS=OFF >/dev/null
fi
cmake --build build -j2 --target kestrum --target tolvan-sim >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrum-wire-XXXXXX")
pids=()
cleanup() {
  for p in "${pids[@]+"${pids[@]}"}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 130 160); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    export DISPLAY=":$n"
    break
  done
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.1; done
fi

cp -R data/. "$work/"
mkdir -m 700 "$work/xdg"
# Every entry filled: a 12-character text and a 10-digit number.
for n in $(seq 1 200); do
  case $n in
    10) echo "TL8888GM-ED|" ;;
    20) echo "STD|" ;;
    *) printf 'Instelling%02d|06%08d\n' $((n % 100)) "$n" ;;
  esac
done > "$work/device.kvn"

build/tools/tolvan-sim/tolvan-sim --link "$work/tty" --ready --baud "$baud" \
  --kvn "$work/device.kvn" --log "$work/sim.log" </dev/null >"$work/sim.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q '^READY' "$work/sim.out" && break; sleep 0.05; done
PORT="$work/tty" awk 'BEGIN { p = ENVIRON["PORT"] } /^comport=/ { print "comport=" p; next } { print }' \
  data/config.ini > "$work/config.ini"

(cd "$work" && XDG_RUNTIME_DIR="$work/xdg" KESTRUM_DIALOG_SCRIPT=/dev/null "$root/build/main/kestrum" \
  >"$work/kestrum.out" 2>&1) &
pids+=($!)

win=$(timeout 30 xdotool search --sync --name "Tolvan Programmeer Omgeving" | head -n1)
wait_log() {  # pattern, seconds
  for _ in $(seq $(($2 * 10))); do grep -q "$1" "$work/sim.log" 2>/dev/null && return 0; sleep 0.1; done
  echo "wire.sh: no \"$1\" in the simulator's log" >&2
  exit 1
}
wait_log "TX .* status-info" 15
sleep 1
xdotool mousemove --window "$win" 445 37 click 1      # Ophalen
wait_log "TX .* download-end" 120
sleep 2
xdotool mousemove --window "$win" 330 37 click 1      # Programmeren
wait_log "RX .* upload-end" 120
sleep 0.5

# A firmware upgrade of a 100 KiB image (the largest a pack takes) through
# "-upgrade" against a simulator of its own, paced at the same baud rate:
# from the upgrade request to the device's ACK of the end of transfer. One
# line: elapsed, wire time of the bytes exchanged, ratio=wire/elapsed.
upgrade_measurement() {
  local dir="$work/upgrade" app=102399 pack sim_pid
  mkdir -p "$dir/bins"
  cp -R data/. "$dir/"
  mkdir -m 700 "$dir/xdg"
  # 0x100 bytes before the start address, then the image: identification
  # first, random bytes after.
  { head -c 256 /dev/zero
    printf 'xxH.49TL8888GM-EDyyVERSION: TL-6.20STD001'
    head -c $((app - 41)) /dev/urandom; } > "$dir/bins/TL8888GM-ED_620.bin"
  head -c 1800 /dev/zero | tr '\0' 'Z' > "$dir/bins/BOOT_LOAD_H49.bin"
  (cd "$dir" && XDG_RUNTIME_DIR="$dir/xdg" KESTRUM_DIALOG_SCRIPT=/dev/null \
    "$root/build/main/kestrum" -cmdl_crtrpa -bindir bins >"$dir/create.out" 2>&1) || true
  pack=$(cd "$dir/RevPacks" 2>/dev/null && ls -- *.rpa 2>/dev/null | head -n1)
  if [ -z "$pack" ]; then
    echo "wire.sh: no revision pack made for the upgrade" >&2
    return 1
  fi
  build/tools/tolvan-sim/tolvan-sim --link "$dir/tty" --ready --baud "$baud" \
    --image-out "$dir/image.bin" --log "$dir/sim.log" </dev/null >"$dir/sim.out" 2>&1 &
  sim_pid=$!
  pids+=($sim_pid)
  for _ in $(seq 100); do grep -q '^READY' "$dir/sim.out" && break; sleep 0.05; done
  PORT="$dir/tty" awk 'BEGIN { p = ENVIRON["PORT"] } /^comport=/ { print "comport=" p; next } { print }' \
    data/config.ini > "$dir/config.ini"
  if ! (cd "$dir" && XDG_RUNTIME_DIR="$dir/xdg" KESTRUM_DIALOG_SCRIPT=/dev/null timeout 900 \
    "$root/build/main/kestrum" -upgrade -revpack "$pack" -binfile "Tolvan 8888 GSM_620.bin" \
    >"$dir/kestrum.out" 2>&1); then
    echo "wire.sh: the upgrade did not end with exit code 0; the ends of its logs:" >&2
    tail -n 5 "$dir/kestrum.out" "$dir/create.out" >&2 || true
    tail -n 8 "$dir/sim.log" | cut -c1-160 >&2 || true
    return 1
  fi
  sleep 0.5
  kill "$sim_pid" 2>/dev/null || true
  awk -v baud="$baud" '
    $2 == "RX" || $2 == "TX" {
      what = ""; n = 0
      for (i = 3; i <= NF; i++) { if ($i ~ /^[0-9A-F][0-9A-F]$/ && what == "") n++; else what = what $i " " }
      if (!on && index(what, "upgrade-request") == 1) { on = 1; t0 = $1 }
      if (on) { bytes += n; t1 = $1 }
      if (on && $2 == "RX" && index(what, "eot") == 1) eot = 1
      if (on && eot && $2 == "TX" && index(what, "ack") == 1) { on = 0; done = 1 }
    }
    END {
      if (!done) { print "upgrade incomplete"; exit 1 }
      el = (t1 - t0) / 1000; wire = bytes * 10 / baud
      printf "upgrade (100 KiB image)  elapsed %7.2f s  wire %7.2f s  %7d bytes  ratio=%.2f\n", el, wire, bytes, wire / el
    }' "$dir/sim.log"
}

# Duration and bytes of the exchange from the request line to the end line.
measure() {  # request, end
  awk -v req="$1" -v end="$2" -v baud="$baud" '
    $2 == "RX" || $2 == "TX" {
      what = ""; n = 0
      for (i = 3; i <= NF; i++) { if ($i ~ /^[0-9A-F][0-9A-F]$/ && what == "") n++; else what = what $i " " }
      if (!on && index(what, req) == 1) { on = 1; t0 = $1 }
      if (on) { bytes += n; t1 = $1 }
      if (on && index(what, end) == 1) { on = 0; done = 1 }
    }
    END {
      if (!done) { print "incomplete"; exit 1 }
      printf "%8.2f s  %8.2f s  %6d bytes  %5.2f\n", (t1 - t0) / 1000, bytes * 10 / baud, bytes, (t1 - t0) / 1000 / (bytes * 10 / baud)
    }' "$work/sim.log"
}
echo "200 entries at $baud baud      total     wire only   on the wire   ratio"
printf "download (Ophalen)       %s" "$(measure download-request download-end)"
echo
printf "upload (Programmeren)    %s" "$(measure upload-request upload-end)"
echo
upgrade_measurement
