#!/usr/bin/env bash
# Builds the native preset's clean-up benchmark (optimised) and runs it: two lines, the
# converter's HTML for a page of formatted text with addresses and bookmarks and host
# HTML code, each ending in the time per MB from the bytes to the note's ENML pieces.
#   bench/cleanup/run.sh [--steps] [MB]     --steps: also the step-by-step clean-up it replaced
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/setup.sh --no-win32-env >/dev/null
cmake --preset native >/dev/null
cmake --build --preset native --target bench_cleanup -j "$(nproc)" >/dev/null
exec build/native/bench/cleanup/bench_cleanup "$@"
