#!/usr/bin/env bash
# Runs one Windows program under 64-bit Wine: wine-run.sh <prefix-dir> <program> [args...]
# The prefix lives in the build folder, never in the user's home. Without a display
# (a test started by hand) the program gets a virtual one of its own.
set -u
prefix=$1; shift
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install prompts in a fresh prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=/usr/lib/wine/wine64
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$prefix" "$@"
fi
source "$here/wine-prefix.sh"
ensure_wine_prefix "$prefix" || exit 1
exec "$wine" "$@"
