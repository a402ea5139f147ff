# Shared by the benchmark scripts (sourced, with the project root as the
# working directory and $baud set): builds the program and the simulator
# into build/ (Release), makes a scratch directory $work that is removed at
# exit (kept with WIRE_KEEP=1), starts a private Xvfb when DISPLAY is not
# set, and starts the simulator and the program.
root=$PWD
# BENCH_BUILD=DIR measures the binaries of another build tree as they are.
if [ -z "${BENCH_BUILD:-}" ]; then
  if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKESTRUM_TESTS=OFF >/dev/null
  fi
  cmake --build build -j2 --target kestrum --target tolvan-sim >/dev/null
fi
build_dir=$(cd "${BENCH_BUILD:-build}" && pwd)
sim_bin=$build_dir/tools/tolvan-sim/tolvan-sim
# KESTRUM_BIN measures another build of the program (e.g. an older one).
kestrum_bin=${KESTRUM_BIN:-$build_dir/main/kestrum}

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrum-wire-XXXXXX")
pids=()
cleanup() {
  for p in "${pids[@]+"${pids[@]}"}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ -n "${WIRE_KEEP:-}" ]; then echo "logs kept in $work"; else rm -rf "$work"; fi
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

# start_sim DIR [tolvan-sim options...]: a simulator on DIR/tty logging to
# DIR/sim.log; returns when it is ready.
start_sim() {
  local dir=$1
  shift
  "$sim_bin" --link "$dir/tty" --ready --baud "$baud" --log "$dir/sim.log" "$@" \
    </dev/null >"$dir/sim.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do grep -q '^READY' "$dir/sim.out" && return 0; sleep 0.05; done
  echo "${0##*/}: the simulator did not start" >&2
  exit 1
}

# start_kestrum DIR [kestrum arguments...]: the program in DIR (its working
# directory, with the shipped data files and config.ini naming DIR/tty). Its
# dialogs are answered from DIR/dialogs.txt when there is one, else with the
# first button.
start_kestrum() {
  local dir=$1
  shift
  cp -R "$root/data/." "$dir/"
  mkdir -p -m 700 "$dir/xdg"
  PORT="$dir/tty" awk 'BEGIN { p = ENVIRON["PORT"] } /^comport=/ { print "comport=" p; next } { print }' \
    "$root/data/config.ini" >"$dir/config.ini"
  local dialogs=/dev/null
  [ -f "$dir/dialogs.txt" ] && dialogs=$dir/dialogs.txt
  (cd "$dir" && XDG_RUNTIME_DIR="$dir/xdg" KESTRUM_DIALOG_SCRIPT="$dialogs" exec "$kestrum_bin" "$@" \
    >"$dir/kestrum.out" 2>&1) &
  pids+=($!)
}

# wait_log DIR PATTERN SECONDS
wait_log() {
  for _ in $(seq $(($3 * 10))); do grep -q "$2" "$1/sim.log" 2>/dev/null && return 0; sleep 0.1; done
  echo "${0##*/}: no \"$2\" in the simulator's log" >&2
  exit 1
}


# device_kvn FORMAT: a device's 200 settings on standard output; entry 10 is
# the device type, entry 20 the special, every other line is
# printf FORMAT (entry number modulo 100) (entry number).
device_kvn() {
  local n
  for n in $(seq 1 200); do
    case $n in
      10) echo "TL8888GM-ED|" ;;
      20) echo "STD|" ;;
      *) printf "$1\n" $((n % 100)) "$n" ;;
    esac
  done
}

# The main window's id, once it is shown.
kestrum_window() {
  timeout 30 xdotool search --sync --name "Tolvan Programmeer Omgeving" | head -n1
}
