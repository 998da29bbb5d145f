#!/usr/bin/env bash
# Compares two files byte for byte. Prints nothing and exits 0 when they are the same;
# otherwise prints where they first differ and exits 1: the offset and both bytes, and
# what lies there: for a PE file (a DLL) the header field or section, for a zip the
# first line in which the two archives' entry listings differ.
#   first-difference.sh <file a> <file b>
set -u
a=$1 b=$2
for f in "$a" "$b"; do
  [ -f "$f" ] || { echo "missing: $f"; exit 2; }
done
cmp -s "$a" "$b" && exit 0

# Little-endian numbers at a file offset.
u16() { od -An -tu2 --endian=little -j "$2" -N2 "$1" | tr -d ' '; }
u32() { od -An -tu4 --endian=little -j "$2" -N4 "$1" | tr -d ' '; }

# What lies at <offset> of a PE file: a field of the headers or a section. Fails for
# a file that is not one.
pe_place() {
  local f=$1 off=$2 pe opt opt_size count table i entry name start size
  [ "$(od -An -tx1 -N2 "$f" | tr -d ' ')" = 4d5a ] || return 1          # "MZ"
  pe=$(u32 "$f" 60)
  [ "$(od -An -tx1 -j "$pe" -N4 "$f" | tr -d ' ')" = 50450000 ] || return 1  # "PE\0\0"
  count=$(u16 "$f" $((pe + 6)))
  opt=$((pe + 24))
  opt_size=$(u16 "$f" $((pe + 20)))
  table=$((opt + opt_size))
  if [ "$off" -ge $((pe + 8)) ] && [ "$off" -lt $((pe + 12)) ]; then
    echo "the PE file header's TimeDateStamp"; return 0
  fi
  if [ "$off" -ge $((opt + 64)) ] && [ "$off" -lt $((opt + 68)) ]; then
    echo "the PE optional header's CheckSum"; return 0
  fi
  if [ "$off" -lt $((table + 40 * count)) ]; then
    echo "the PE headers"; return 0
  fi
  for ((i = 0; i < count; i++)); do
    entry=$((table + 40 * i))
    name=$(dd if="$f" bs=1 skip="$entry" count=8 status=none | tr -d '\0')
    size=$(u32 "$f" $((entry + 16)))
    start=$(u32 "$f" $((entry + 20)))
    if [ "$off" -ge "$start" ] && [ "$off" -lt $((start + size)) ]; then
      printf 'section %s, 0x%x bytes into it\n' "$name" $((off - start))
      return 0
    fi
  done
  echo "the PE file, outside its headers and sections"
}

size_a=$(stat -c %s "$a") size_b=$(stat -c %s "$b")
# "<byte number from 1> <octal byte of a> <octal byte of b>"
read -r number byte_a byte_b < <(cmp -l "$a" "$b" 2>/dev/null | head -n 1)
if [ -z "${number:-}" ]; then
  common=$((size_a < size_b ? size_a : size_b))
  echo "$a ($size_a bytes) and $b ($size_b bytes) differ in size; the first $common bytes are the same"
  exit 1
fi
off=$((number - 1))
printf '%s and %s differ at byte 0x%x (%d): 0x%02x against 0x%02x' \
  "$a" "$b" "$off" "$off" "0$byte_a" "0$byte_b"
[ "$size_a" -eq "$size_b" ] || printf '; sizes %d and %d bytes' "$size_a" "$size_b"
echo
if place=$(pe_place "$a" "$off"); then
  echo "  in $place"
elif [ "$(od -An -tx1 -N4 "$a" | tr -d ' ')" = 504b0304 ] && command -v zipinfo >/dev/null; then
  # Each entry's lines of the listing (time, CRC, attributes, extra fields), after its
  # name; the archive's own sizes and offsets are left out.
  entries() {
    zipinfo -v "$1" | awk '
      /^Central directory entry/ { state = 1; next }
      state == 1 && /^-+$/ { state = 2; next }
      state == 2 && NF { name = $0; sub(/^ +/, "", name); state = 0; next }
      name != "" && NF && !/offset/ { print name ":" $0 }'
  }
  diff <(entries "$a") <(entries "$b") |
    awk '/^</ && !a { a = $0 } /^>/ && !b { b = $0 } END { if (a) print "  " a; if (b) print "  " b }'
fi
exit 1
