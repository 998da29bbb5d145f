#!/usr/bin/env bash
# Builds the clean-up's libFuzzer target with clang (AddressSanitizer and UBSan) and
# runs it, niced, in one process:
#   tests/cleanup/fuzz/run_fuzzer.sh [host|page|both] [seconds] [libFuzzer flags...]
# host: the host's HTML code; page: the converter's documents (bookmarks, addresses,
# pictures); both (the default): either, as each input's first byte says. Findings are
# written to build/cleanup-fuzz/findings/; new inputs grow build/cleanup-fuzz/corpus-KIND.
# Needs ../shared/enex-dtd (Evernote's DTDs).
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$root/build/cleanup-fuzz
kind=${1:-both}
seconds=${2:-600}
shift 2 || shift $# || true
"$root/tools/setup.sh" --no-win32-env --fuzz >/dev/null
dtds=$root/../shared/enex-dtd
[ -f "$dtds/enml2.dtd" ] || { echo "run_fuzzer: no $dtds/enml2.dtd" >&2; exit 1; }
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DY2E_CLEANUP_FUZZER=ON >/dev/null
nice -n 10 cmake --build "$build" -j2 --target cleanup_fuzz
mkdir -p "$build/corpus-$kind" "$build/findings"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 CLEANUP_FUZZ_DTD=$dtds \
  CLEANUP_FUZZ_KIND=$kind
exec nice -n 10 "$build/tests/cleanup/cleanup_fuzz" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -max_len=16384 -dict="$root/tests/cleanup/fuzz/html.dict" \
  -artifact_prefix="$build/findings/$kind-" "$@" "$build/corpus-$kind"
