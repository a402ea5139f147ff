#!/usr/bin/env bash
# CPU used by an idle kestrum: user+system time over a number of seconds
# (default 10), read from /proc. Not a test: a measurement to report.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-10}
bin=${KESTRUM_BIN:-build/main/kestrum}
[ -x "$bin" ] || { echo "build kestrum first (scripts/run.sh builds it into build/)"; exit 1; }
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
(cd "$work" && XDG_RUNTIME_DIR="$work" exec "$OLDPWD/$bin" "${@:2}") >/dev/null 2>&1 &
pid=$!
sleep 1
hz=$(getconf CLK_TCK)
read -r u0 s0 < <(awk '{print $14, $15}' /proc/$pid/stat)
sleep "$secs"
read -r u1 s1 < <(awk '{print $14, $15}' /proc/$pid/stat)
ticks=$(( (u1 - u0) + (s1 - s0) ))
awk -v t="$ticks" -v hz="$hz" -v s="$secs" \
  'BEGIN { cpu = t / hz; printf "idle %ds: user+system %.2f s = %.2f%% of one core\n", s, cpu, 100 * cpu / s }'
