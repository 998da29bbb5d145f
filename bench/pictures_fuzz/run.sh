#!/usr/bin/env bash
# The long fuzz passes over pictures (tests/fuzz/pictures_fuzz.cpp):
#   bench/pictures_fuzz/run.sh [CASES64] [CASES32]
# 100,000 cases under 64-bit Wine and 10,000 in the 32-bit stage by default, in runs of
# 10,000 (seeds 1, 2, ... and 1001, 1002, ...), each a process of its own, so that a
# crash names its case and the other runs go on. Prints each run and the totals; a
# crashing case is left as pictures_fuzz_crash.rtf in build/<preset>/bin.
set -uo pipefail
cd "$(dirname "$0")/../.."
cases64=${1:-100000}
cases32=${2:-10000}
chunk=10000
for preset in win64 win32; do
  cmake --preset $preset >/dev/null || exit 1
  cmake --build --preset $preset -j 2 --target pictures_fuzz irun >/dev/null || exit 1
done
source tools/display.sh
start_display || exit 1
prefix32=build/win32/wineprefix
trap 'tools/win32-env.sh stop "$prefix32" >/dev/null 2>&1; stop_display' EXIT
prepare_wine_prefix build/win64/wineprefix >/dev/null || exit 1
tools/win32-env.sh start "$prefix32" >/dev/null || exit 1

status=0
# stage label, total cases, first seed, then the command that runs the program
fuzz() {
  local label=$1 total=$2 seed=$3 bin=$4
  shift 4
  local done=0 runs=0 crashes=0 slow=0 slowest=0 memory=0 line
  while [ "$done" -lt "$total" ]; do
    local n=$((total - done < chunk ? total - done : chunk))
    line=$(cd "$bin" && "$@" pictures_fuzz.exe --cases "$n" --seed "$seed" 2>&1 | tail -1)
    echo "$label: $line"
    case $line in
      *CRASH*) crashes=$((crashes + 1)) ;;
      *"0 crashes"*)
        slow=$((slow + $(sed -E 's/.* ([0-9]+) over 2 s.*/\1/' <<<"$line")))
        slowest=$(awk -v a="$slowest" -v b="$(sed -E 's/.*slowest ([0-9.]+) s.*/\1/' <<<"$line")" \
                  'BEGIN { print (b > a ? b : a) }')
        memory=$(awk -v a="$memory" -v b="$(sed -E 's/.*memory ([0-9.]+) MB.*/\1/' <<<"$line")" \
                 'BEGIN { print (b > a ? b : a) }') ;;
      *) crashes=$((crashes + 1)) ;;
    esac
    done=$((done + n)); seed=$((seed + 1)); runs=$((runs + 1))
  done
  echo "$label total: $total cases in $runs runs, $crashes crashes, $slow over 2 s," \
       "slowest $slowest s, peak private memory $memory MB over the process's own"
  [ "$crashes" -eq 0 ] && [ "$slow" -eq 0 ] && awk -v m="$memory" 'BEGIN { exit !(m <= 64) }' ||
    status=1
}
here=$PWD
fuzz "64-bit Wine" "$cases64" 1 build/win64/bin "$Y2E_WINE"
fuzz "32-bit stage" "$cases32" 1001 build/win32/bin "$here/tools/win32-env.sh" wine "$here/$prefix32"
exit $status
