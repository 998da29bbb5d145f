#!/usr/bin/env bash
# Builds the irun libFuzzer target with clang (AddressSanitizer and UBSan) and runs it,
# niced, in one process.  irun/fuzz/run_fuzzer.sh [seconds] [extra libFuzzer flags...]
# Findings are written to build/irun-fuzz/findings/; new inputs grow
# build/irun-fuzz/corpus (the seeds in irun/fuzz/corpus stay as they are).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/irun-fuzz
seconds=${1:-600}
shift || true
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DIRUN_FUZZER=ON >/dev/null
nice -n 10 cmake --build "$build" -j2 --target irun_fuzz
mkdir -p "$build/corpus" "$build/findings"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
exec nice -n 10 "$build/irun/irun_fuzz" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -max_len=65536 -dict="$root/irun/fuzz/rtf.dict" \
  -artifact_prefix="$build/findings/" "$@" "$build/corpus" "$root/irun/fuzz/corpus"
