#!/usr/bin/env bash
# Times one send for pages of 0.1, 1 and 10 MB (or the sizes given) under Wine.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target send_bench irun
source tools/display.sh
start_display
trap stop_display EXIT
prepare_wine_prefix build/win64/wineprefix
"$Y2E_WINE" build/win64/bin/send_bench.exe "$@"
