#!/usr/bin/env bash
# The main job, without a person at the keyboard: builds what is needed and lets the
# test host run the plug-in on a sample page.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target demo_host
source tools/display.sh
start_display
trap stop_display EXIT
prepare_wine_prefix build/win64/demo-prefix
"$Y2E_WINE" build/win64/bin/demo_host.exe "$@"
