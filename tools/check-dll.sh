#!/usr/bin/env bash
# Checks a built DLL without running it: its machine type, that it exports the given
# names undecorated, and that it needs no MinGW runtime DLL beside Windows' own.
#   check-dll.sh <objdump> <dll> <expected machine: i386|x86-64> <export>...
set -u
objdump=$1 dll=$2 machine=$3
shift 3
fail=0
[ -f "$dll" ] || { echo "missing: $dll"; exit 1; }
dump=$("$objdump" -p "$dll") || { echo "cannot read $dll"; exit 1; }
format=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
case "$machine:$format" in
  i386:pei-i386|x86-64:pei-x86-64) ;;
  *) echo "$dll: file format $format, expected $machine"; fail=1 ;;
esac
# The export table lists "[ordinal] name" rows after "[Ordinal/Name Pointer] Table".
exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p')
for name in "$@"; do
  if ! printf '%s\n' "$exports" | grep -qx "$name"; then
    echo "$dll: export $name missing (exports: $(echo $exports))"
    fail=1
  fi
done
if printf '%s\n' "$exports" | grep -q '@'; then
  echo "$dll: decorated export names: $(echo $exports)"
  fail=1
fi
imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p')
for dep in $imports; do
  case "${dep,,}" in
    libgcc*|libstdc++*|libwinpthread*|*mingw*) echo "$dll needs $dep"; fail=1 ;;
  esac
done
[ $fail -eq 0 ] && echo "$dll: $machine, exports $*, imports $(echo $imports)"
exit $fail
