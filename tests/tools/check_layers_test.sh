#!/usr/bin/env bash
# tools/check-layers.sh on a copy of the source folders: the copy as it is passes, and
# each include against the layers fails, named by its file and line.
#   check_layers_test.sh <check-layers.sh> <source root>
set -u
check=$1 source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for folder in text win irun resources convert evernote note dialog plugin testbed; do
  cp -r "$source/$folder" "$work/"
done
fail=0

# expect <name> <exit code> <text the output must hold>
expect() {
  local out rc
  out=$("$check" "$work" 2>&1)
  rc=$?
  if [ "$rc" -ne "$2" ]; then
    echo "FAIL $1: exit $rc, expected $2; output: $out"; fail=1
  elif [[ "$out" != *"$3"* ]]; then
    echo "FAIL $1: output lacks \"$3\": $out"; fail=1
  else
    echo "ok   $1"
  fi
}
# with_include <file> <line> <include> <name> <text>: the file with the include put in as
# line <line> must fail the check with <text>; then the file is as it was.
with_include() {
  cp "$work/$1" "$work/saved"
  sed -i "$(($2 - 1))a #include \"$3\"" "$work/$1"
  expect "$4" 1 "$5"
  mv "$work/saved" "$work/$1"
}

expect "the tree keeps to the layers" 0 "every include keeps to the layers"
with_include text/text_ops.h 4 win/module_state.h "text includes win" \
  "text/text_ops.h:4: includes \"win/module_state.h\" of win/"
with_include note/send_note.cpp 3 ../irun/irun.h "irun is reached only through convert" \
  "note/send_note.cpp:3: includes \"../irun/irun.h\" of irun/"
with_include irun/rtf_reader.cpp 2 text/text_ops.h "irun stands alone" \
  "irun/rtf_reader.cpp:2: includes \"text/text_ops.h\" of text/"
with_include win/settings.cpp 5 dialog/send_dialog.h "a lower layer includes a higher one" \
  "win/settings.cpp:5: includes \"dialog/send_dialog.h\" of dialog/"
expect "the copy is whole again" 0 "every include keeps to the layers"
exit $fail
