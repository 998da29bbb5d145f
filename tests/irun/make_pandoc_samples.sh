#!/usr/bin/env bash
# Makes the RTF samples of tests/irun/pandoc with pandoc's RTF writer. Each sample.md
# has a sample.txt beside it: the text a reader must see, one line per paragraph.
# The .rtf files are committed, so the tests need no pandoc; rerun after changing a
# sample (pandoc from Debian: apt-get install pandoc).
set -euo pipefail
cd "$(dirname "$0")/pandoc"
for md in *.md; do
  pandoc -s -f markdown-smart -t rtf -o "${md%.md}.rtf" "$md"
done
