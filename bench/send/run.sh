#!/usr/bin/env bash
# Times one send under Wine:
#   bench/send/run.sh [MB...]            pages of formatted text: 0.1, 1 and 10 MB by default
#   bench/send/run.sh --pictures [MB...] pages of pictures: 1 and 10 MB of RTF by default
#   bench/send/run.sh --shapes           one paragraph of 150,000 line breaks, a table of
#                                        60,000 rows
# Each size runs in a fresh process; each line ends with the send's peak memory as a
# multiple of the page's RTF ("peak N.Nx page").
set -euo pipefail
cd "$(dirname "$0")/../.."
program=send_bench
if [ "${1:-}" = "--pictures" ]; then
  program=pictures_bench
  shift
elif [ "${1:-}" = "--shapes" ]; then
  program=pictures_bench  # straight to the send, as the pictures
fi
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target $program irun
source tools/display.sh
start_display
trap stop_display EXIT
prepare_wine_prefix build/win64/wineprefix
"$Y2E_WINE" build/win64/bin/$program.exe "$@"
