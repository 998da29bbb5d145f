#!/usr/bin/env bash
# The main job, without a person at the keyboard: builds what is needed and lets the
# test host run the plug-in on a sample page.
#   tools/demo.sh                 ENScript installed: the note is imported
#   tools/demo.sh --no-enscript   no ENScript: the note is saved as an ENEX file
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target demo_host
source tools/display.sh
start_display
trap stop_display EXIT
# A prefix of the demo's own: its registry entries never touch the tests'.
prepare_wine_prefix build/win64/demo-prefix
mkdir -p build/demo
"$Y2E_WINE" build/win64/bin/demo_host.exe "$@" 'build\demo\send-dialog.bmp'
convert build/demo/send-dialog.bmp build/demo/send-dialog.png && rm build/demo/send-dialog.bmp
echo "Screenshot: build/demo/send-dialog.png"
