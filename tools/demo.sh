#!/usr/bin/env bash
# The main job, without a person at the keyboard: builds what is needed and lets the
# test host run the plug-in on a sample page.
#   tools/demo.sh                 the 64-bit build under 64-bit Wine; the note is imported
#   tools/demo.sh --no-enscript   no ENScript installed: the note is saved as an ENEX file
#   tools/demo.sh --win32         the shipped 32-bit DLLs under 32-bit Wine (tools/win32-env.sh)
#   tools/demo.sh --stuck-enscript   ENScript never ends: Close, offered after the first
#                                    "still waiting" notice (every second here), stops the wait
#   tools/demo.sh --title TEXT    the sample page gets the title TEXT (NUL.txt, say)
#   tools/demo.sh --rtf FILE      FILE is the page, loaded into the host's rich edit
#   tools/demo.sh --html FILE     FILE is the page, as a node of HTML code (UTF-8)
# The options may be given together (one page file at most). The user's Documents folder
# of the demo is build/demo/Documents, emptied at the start of every run.
set -euo pipefail
cd "$(dirname "$0")/.."
win32=no
demo_args=()
page_kind= page_file=
usage="usage: tools/demo.sh [--win32] [--no-enscript] [--stuck-enscript] [--title TEXT] [--rtf FILE | --html FILE]"
while [ $# -gt 0 ]; do
  option=$1
  case "$option" in
    --win32) win32=yes ;;
    --no-enscript) demo_args+=(--no-enscript) ;;
    --stuck-enscript) demo_args+=(--stuck-enscript) ;;
    --title)
      [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
      demo_args+=(--title "$2"); shift ;;
    --rtf|--html)
      [ $# -ge 2 ] && [ -z "$page_kind" ] || { echo "$usage" >&2; exit 2; }
      page_kind=${option#--} page_file=$2
      shift ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
  shift
done
source tools/display.sh
mkdir -p build/demo

# The prefix's Documents is a link to the real home folder: the demo's own, inside the
# checkout, takes its place, empty at every run.
rm -rf build/demo/Documents
mkdir -p build/demo/Documents
echo "Documents of the demo: $PWD/build/demo/Documents"
demo_args+=(--documents 'build\demo\Documents')

# A page of the user's: copied beside the demo's output, where the Windows programs (32-bit
# ones too, which see only the checkout) find it by a relative path.
if [ -n "$page_kind" ]; then
  [ -f "$page_file" ] || { echo "demo: no such file: $page_file" >&2; exit 2; }
  cp "$page_file" "build/demo/page.$page_kind"
  demo_args+=("--$page_kind" "build\\demo\\page.$page_kind")
fi

if [ $win32 = yes ]; then
  tools/setup.sh
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 -j "$(nproc)" --target demo_host
  start_display
  # A prefix of the demo's own: its registry entries never touch the tests'.
  prefix=build/win32/demo-prefix
  trap 'tools/win32-env.sh stop "$prefix"; stop_display' EXIT
  tools/win32-env.sh start "$prefix"
  tools/win32-env.sh wine "$prefix" build/win32/bin/demo_host.exe "${demo_args[@]}" \
    'build\demo\send-dialog-win32.bmp'
  screenshot=build/demo/send-dialog-win32
else
  tools/setup.sh --no-win32-env
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j "$(nproc)" --target demo_host
  start_display
  trap stop_display EXIT
  prepare_wine_prefix build/win64/demo-prefix
  "$Y2E_WINE" build/win64/bin/demo_host.exe "${demo_args[@]}" 'build\demo\send-dialog.bmp'
  screenshot=build/demo/send-dialog
fi
convert "$screenshot.bmp" "$screenshot.png" && rm "$screenshot.bmp"
echo "Screenshot: $screenshot.png"
