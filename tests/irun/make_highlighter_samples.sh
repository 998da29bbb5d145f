#!/usr/bin/env bash
# Makes the RTF sample of tests/irun/highlighter with André Simon's highlight: a short
# C listing on its page colour, as source highlighters write listings (a Courier New
# default font, each line shaded with \cbpat). The .rtf is committed, so the tests need
# no highlight; rerun after changing the listing (apt-get install highlight).
set -euo pipefail
cd "$(dirname "$0")/highlighter"
highlight -O rtf --page-color --font="Courier New" -i listing.c -o listing.rtf
