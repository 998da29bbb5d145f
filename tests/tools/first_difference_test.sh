#!/usr/bin/env bash
# tools/first-difference.sh on a built DLL and on small zips: the same files pass, and
# each kind of difference fails and is named where it lies.
#   first_difference_test.sh <first-difference.sh> <objdump> <dll>
set -u
compare=$1 objdump=$2 dll=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0

# expect <name> <exit code> <text the output must hold, or "" for no output> <file a> <file b>
expect() {
  local name=$1 code=$2 text=$3 out rc
  out=$("$compare" "$4" "$5" 2>&1)
  rc=$?
  if [ "$rc" -ne "$code" ]; then
    echo "FAIL $name: exit $rc, expected $code; output: $out"; fail=1
  elif [ -z "$text" ] && [ -n "$out" ]; then
    echo "FAIL $name: expected no output, got: $out"; fail=1
  elif [ -n "$text" ] && [[ "$out" != *"$text"* ]]; then
    echo "FAIL $name: output lacks \"$text\": $out"; fail=1
  else
    echo "ok   $name"
  fi
}
# patched <copy> <offset>: a copy of the DLL with the byte at <offset> inverted.
patched() {
  local byte
  cp "$dll" "$1"
  byte=$(od -An -tu1 -j "$2" -N1 "$dll" | tr -d ' ')
  printf "\\x$(printf %02x $((255 - byte)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

cp "$dll" "$work/same.dll"
expect "identical DLLs" 0 "" "$dll" "$work/same.dll"

# The PE header's offset is at 0x3c. Its TimeDateStamp lies 8 bytes further on, the
# optional header's CheckSum 24 + 64; the last byte of each is changed.
header=$(od -An -tu4 --endian=little -j 60 -N4 "$dll" | tr -d ' ')
while read -r delta place; do
  off=$((header + delta))
  patched "$work/$off.dll" "$off"
  expect "$place" 1 "$(printf 'differ at byte 0x%x' "$off")" "$dll" "$work/$off.dll"
  expect "$place" 1 "in $place" "$dll" "$work/$off.dll"
done <<'TABLE'
11 the PE file header's TimeDateStamp
91 the PE optional header's CheckSum
TABLE

# 16 bytes into the resources, as objdump places them.
rsrc=$("$objdump" -h "$dll" | awk '$2 == ".rsrc" { print $6 }')
if [ -z "$rsrc" ]; then
  echo "FAIL no .rsrc section in $dll"; fail=1
else
  patched "$work/rsrc.dll" $((0x$rsrc + 16))
  expect "resource byte" 1 "section .rsrc, 0x10 bytes into it" "$dll" "$work/rsrc.dll"
fi

head -c 4096 "$dll" > "$work/short.dll"
expect "truncated" 1 "the first 4096 bytes are the same" "$dll" "$work/short.dll"

# Zips of one file that differ only in its time or its mode.
mkdir "$work/z"
echo "text" > "$work/z/a.txt"
zip_it() { (cd "$work/z" && chmod "$2" a.txt && touch -d "@$3" a.txt && TZ=UTC zip -X -q "$1" a.txt); }
zip_it "$work/base.zip" 644 1700000000
zip_it "$work/time.zip" 644 1700000100
zip_it "$work/mode.zip" 600 1700000000
expect "zip time" 1 "2023 Nov 14 22:15:00" "$work/base.zip" "$work/time.zip"
expect "zip mode" 1 "> a.txt:  Unix file attributes (100600 octal)" "$work/base.zip" "$work/mode.zip"

exit $fail
