#!/usr/bin/env bash
# The converter's benchmark: generates RTF of four kinds in 1, 10 and 50 MB, converts
# each with irun (best of three, in memory as irun.dll does), and runs pandoc and unrtf
# on the same files, printing throughput, peak memory and the ratios. Then RTF written
# by real programs (make_real_rtf.py: pandoc and LibreOffice from the same HTML) is
# converted by whole rtf2html processes, file reading and writing included.
#   bench/irun/run.sh [--quick|--real]   --quick: 1 and 10 MB only; --real: real programs only
# Environment: BENCH_OTHERS_MAX_MB (default 1) is the largest file that pandoc and
# unrtf are given, since at well under 1 MB/s they take minutes beyond it;
# BENCH_OTHERS_TIMEOUT (default 600 s) ends a run that takes longer.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/irun-bench
data=$build/data
sizes=(1 10 50)
[ "${1:-}" = "--quick" ] && sizes=(1 10)
kinds=(text format table picture)
[ "${1:-}" = "--real" ] && kinds=()
others_max=${BENCH_OTHERS_MAX_MB:-1}
others_timeout=${BENCH_OTHERS_TIMEOUT:-600}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
nice -n 10 cmake --build "$build" -j2 --target irun_bench rtf2html >/dev/null
mkdir -p "$data"
# unrtf writes the pictures it finds (pict001.png, ...) into the current folder.
cd "$data"

# Processor seconds one program takes for a file (as irun_bench counts its own), or
# "-" past the timeout or on failure.
time_other() {
  local out
  out=$(mktemp)
  if ! timeout "$others_timeout" /usr/bin/time -f "%U %S" -o "$out" "$@" >/dev/null 2>&1; then
    rm -f "$out"
    echo "-"
    return
  fi
  awk 'END { printf "%.3f\n", $1 + $2 }' "$out"
  rm -f "$out"
}

# irun MB/s: converted into memory as irun.dll keeps it (page faults of the new
# memory included); stream MB/s: the converter alone, output streamed away; pieces
# MB/s: read from 64 KB pieces and the document read back in 64 KB pieces.
[ ${#kinds[@]} -gt 0 ] &&
  printf "%-8s %5s %9s %10s %10s %8s %8s %7s %11s %10s %9s %8s\n" kind MB "irun MB/s" \
    "stream MB/s" "pieces MB/s" "peak MB" "peak/in" linear "pandoc MB/s" "unrtf MB/s" \
    "x pandoc" "x unrtf"
for kind in "${kinds[@]}"; do
  first_rate=""
  for mb in "${sizes[@]}"; do
    file=$data/$kind-$mb.rtf
    [ -f "$file" ] || python3 "$root/bench/irun/make_rtf.py" "$kind" "$mb" "$file"
    read -r in_mb _secs rate stream peak per_in _html _pics pieces < <(nice -n 10 "$build/bench/irun/irun_bench" "$file")
    [ -z "$first_rate" ] && first_rate=$rate
    # Linear: the throughput at this size as a share of the smallest size's.
    linear=$(echo "$rate / $first_rate" | bc -l | xargs printf "%.2f")
    prate="-" urate="-" pratio="-" uratio="-"
    if [ "$mb" -le "$others_max" ]; then
      if command -v pandoc >/dev/null; then
        t=$(time_other nice -n 10 pandoc -f rtf -t html "$file")
        [ "$t" != "-" ] && prate=$(echo "$in_mb / $t" | bc -l | xargs printf "%.3f") &&
          pratio=$(echo "$rate / $prate" | bc -l | xargs printf "%.0f")
      fi
      if command -v unrtf >/dev/null; then
        t=$(time_other nice -n 10 unrtf --html "$file")
        [ "$t" != "-" ] && urate=$(echo "$in_mb / $t" | bc -l | xargs printf "%.3f") &&
          uratio=$(echo "$rate / $urate" | bc -l | xargs printf "%.0f")
      fi
    fi
    printf "%-8s %5s %9s %10s %10s %8s %8s %7s %11s %10s %9s %8s\n" "$kind" "$in_mb" "$rate" \
      "$stream" "$pieces" "$peak" "$per_in" "$linear" "$prate" "$urate" "$pratio" "$uratio"
  done
done
if [ ${#kinds[@]} -gt 0 ]; then
  echo "Goals: >= 100 MB/s on text; >= 50 x the faster of pandoc and unrtf; peak/in < 4;"
  echo "linear near 1.00 (throughput does not fall with size)."
fi

# Real programs' RTF, made once from about 3.4 MB of generated HTML (pandoc's RTF is then
# about 4.7 MB, LibreOffice's about 8.5 MB).
real=$data/real
if [ ! -f "$real/pandoc.rtf" ] || [ ! -f "$real/libreoffice.rtf" ]; then
  nice -n 10 python3 "$root/bench/irun/make_real_rtf.py" "$real" 3.4 2>/dev/null || true
fi
if ! command -v hyperfine >/dev/null; then
  echo "No hyperfine (tools/setup.sh --bench): whole-process timings skipped."
  exit 0
fi
echo
echo "Whole rtf2html processes (hyperfine, 20 runs after 3 warm-ups; wall: median, cpu: mean):"
printf "%-12s %6s %9s %10s %9s %10s %9s %10s\n" writer MB "wall s" "wall MB/s" "cpu s" \
  "cpu MB/s" "irun MB/s" "stream MB/s"
for name in pandoc libreoffice; do
  file=$real/$name.rtf
  [ -f "$file" ] || { echo "$name: no file (is $name installed?)"; continue; }
  json=$(mktemp)
  nice -n 10 hyperfine -N --warmup 3 --runs 20 --export-json "$json" \
    "$build/irun/rtf2html -o $build/real-out.html $file" >/dev/null
  read -r _mb _secs rate stream _rest < <(nice -n 10 "$build/bench/irun/irun_bench" "$file")
  python3 - "$json" "$file" "$name" "$rate" "$stream" <<'PY'
import json, os, statistics, sys
runs = json.load(open(sys.argv[1]))["results"][0]
mb = os.path.getsize(sys.argv[2]) / (1024 * 1024)
wall = statistics.median(runs["times"])
cpu = runs["user"] + runs["system"]  # hyperfine gives their means
print("%-12s %6.1f %9.4f %10.1f %9.4f %10.1f %9s %10s" % (sys.argv[3], mb, wall, mb / wall, cpu, mb / cpu, sys.argv[4], sys.argv[5]))
PY
  rm -f "$json"
done
echo "Goal: >= 100 MB/s whole-process (wall) on both."
