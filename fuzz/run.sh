#!/usr/bin/env bash
# Builds the fuzz targets and runs each for SECONDS (default 300), one at a
# time on one core, seeded from the shipped files in data/ and small
# hand-made inputs. Prints executions and findings per target.
#   fuzz/run.sh [SECONDS] [target...]
# The corpus grows in build-fuzz/corpus/<target>; inputs that crash, leak or
# hang are kept in build-fuzz/findings/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
secs=${1:-300}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(kvn config_ini config_csv language_ini language_csv
                                    trace_commands debug_commands revpack link)

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DKESTRUM_TESTS=OFF -DKESTRUM_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target fuzz_all >/dev/null

seeds=$root/$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds"/{kvn,config_ini,config_csv,language_ini,language_csv,trace_commands,debug_commands,revpack,link}

# Settings files: a full one and a short one.
{
  for i in $(seq 1 200); do
    case $i in
      10) echo "TL8888GM-ED|" ;;
      20) echo "SPEC01|" ;;
      1) echo "Meter A|0612345678" ;;
      *) echo "|$i" ;;
    esac
  done
} > "$seeds/kvn/full.kvn"
printf 'abc|112\r\na;b/c|\r\n|\n' > "$seeds/kvn/short.kvn"

cp data/config.ini "$seeds/config_ini/"
printf 'comport=/dev/ttyUSB0\nsettingfile=a.kvn\r\ntolvantype=TL8888GM-ED\nlastbin=x.bin\n' > "$seeds/config_ini/small.ini"

{ printf 'TL8888GM-ED;SPEC\n'; cat data/config.csv; } > "$seeds/config_csv/shipped.csv"
printf 'TL2200IM-EB;\n1;T;Naam;Tab;sel:a:1|b:2|c;help.html;;;2+;;;;GN;;;;;\n2;N;Nr;Tab;num:0-9|default: 5;;;;;;;;;;;;;\n' \
  > "$seeds/config_csv/small.csv"

cp data/language.ini "$seeds/language_ini/"
printf 'taal=UK\r\n' > "$seeds/language_ini/uk.ini"

for id in 1 3; do
  { printf "\\x0$id"; cat data/language.csv; } > "$seeds/language_csv/shipped$id.csv"
done
printf '\x02Nr;Sleutel;NL;GER;UK;FR;SPA;\n1;a;b;c;d;e;f;\n511;x;y;z;;;;\n' > "$seeds/language_csv/small.csv"

printf '\nall lvl all\nTlcdrv lvl sig\n# comment\nTlprot all\nTlcdrv bnd\nvask prt ssm -name Tlcdrv\nvask queue prio stat\nhelp\nTlcdrv rert que\nall lvl off\n' \
  > "$seeds/trace_commands/commands.txt"
printf 'lvl\nTlcdrv lvl dbg\nTlprot lvl msg off\n' > "$seeds/trace_commands/filtered.txt"

printf '\x3fTlcdrv lvl sig\r\nvask help\r\n\x10Tlprot all\r\n\x05x\r\r\n' > "$seeds/debug_commands/stream.bin"
printf '\x3fvask prt ssm -mod 10 -cmp 12\r\nvask curr_evt curr_queue evt_overview\r\n' > "$seeds/debug_commands/vask.bin"

cat > "$seeds/revpack/pack.rpa" <<'PACK'
; FLTK preferences file format 1.0
; vendor: RevPacks
; application: seed

[.]

[./General]
version:3

[./TolvanTypeList_2]
TL8888GM-ED:TL8888GM-ED

[./BinFileList_2]
TL8888GM-ED.bin:TL8888GM-ED.bin
BOOT_LOAD_H49.bin:BOOT_LOAD_H49.bin

[./HwSwRestrictionList]
1:6.0*;H.49
2:TL----G----;TL----I----

[./TL8888GM-ED.bin]
size:24
type:TL8888GM-ED
version:TL-6.01
hardware:H.49
special:SPEC01
data:482E3439544C383838384D2D45445645524E494F4E3A2020
kvnfile:TL8888GM-ED.kvn
kvnsize:4
kvndata:617C310D

[./BOOT_LOAD_H49.bin]
size:4
hardware:49
data:DEADBEEF
PACK

printf '\x01\x02\x03\x00\x02\x03\x06' > "$seeds/link/frame.bin"

dict_for() {
  case $1 in
    trace_commands|debug_commands) echo "-dict=$root/fuzz/commands.dict" ;;
  esac
}

summary=()
for t in "${targets[@]}"; do
  corpus=$root/$build/corpus/$t
  findings=$root/$build/findings/$t
  mkdir -p "$corpus" "$findings"
  log=$root/$build/fuzz_$t.log
  echo "== fuzz_$t for $secs s"
  # stdout of the targets is trace text: closed.
  nice -n 10 "$root/$build/fuzz/fuzz_$t" -max_total_time="$secs" -timeout=30 -rss_limit_mb=2048 \
       -close_fd_mask=1 -print_final_stats=1 -artifact_prefix="$findings/" $(dict_for "$t") \
       "$corpus" "$seeds/$t" >"$log" 2>&1 || true
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
  found=$(grep -c -E '^artifact_prefix=|Test unit written to' "$log" || true)
  crash=$(grep -m1 -E 'ERROR: (AddressSanitizer|UndefinedBehaviorSanitizer|libFuzzer|LeakSanitizer)|runtime error' "$log" || true)
  summary+=("$(printf '%-16s executions %-10s findings %s %s' "$t" "${runs:-?}" "$found" "$crash")")
  echo "${summary[-1]}"
done
echo
echo "Summary ($secs s per target):"
printf '%s\n' "${summary[@]}"
echo "Findings: $build/findings/<target>, logs: $build/fuzz_<target>.log"
