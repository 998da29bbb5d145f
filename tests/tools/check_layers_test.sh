#!/usr/bin/env bash
# tools/check-layers.sh on a copy of the source folders: the copy as it is passes, and
# each include against the layers fails, named by its file and line. Then the build's
# side (cmake/Layers.cmake, on a small project of its own): a library that links a
# layer its folder may not use fails the configuration, named.
#   check_layers_test.sh <check-layers.sh> <source root>
set -u
check=$(realpath "$1") source=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for folder in text win cleanup irun resources picture convert evernote note dialog plugin testbed; do
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
with_include picture/metafile_play.cpp 3 convert/rtf_to_html.h "pictures stay below the converter" \
  "picture/metafile_play.cpp:3: includes \"convert/rtf_to_html.h\" of convert/"
with_include cleanup/enml_pass.cpp 3 win/guards.h "the clean-up stays portable" \
  "cleanup/enml_pass.cpp:3: includes \"win/guards.h\" of win/"
with_include win/settings.cpp 5 dialog/send_dialog.h "a lower layer includes a higher one" \
  "win/settings.cpp:5: includes \"dialog/send_dialog.h\" of dialog/"
with_include picture/metafile_play.cpp 3 picture_png.h "two files include each other" \
  "picture/metafile_play and picture/picture_png include each other"
expect "the copy is whole again" 0 "every include keeps to the layers"

# links <name> <exit code> <text> <folder:library:libraries it links>...: configures a
# project of one interface library per argument against the table of check-layers.sh.
links() {
  local name=$1 code=$2 text=$3 project=$work/links entry folder library linked out rc
  shift 3
  rm -rf "$project"
  mkdir -p "$project"
  {
    echo "cmake_minimum_required(VERSION 3.25)"
    echo "project(layers LANGUAGES NONE)"
  } >"$project/CMakeLists.txt"
  for entry in "$@"; do
    IFS=: read -r folder library linked <<<"$entry"
    mkdir -p "$project/$folder"
    echo "add_library($library INTERFACE)" >>"$project/$folder/CMakeLists.txt"
    [ -z "$linked" ] || echo "target_link_libraries($library INTERFACE $linked)" >>"$project/$folder/CMakeLists.txt"
    grep -q "add_subdirectory($folder)" "$project/CMakeLists.txt" ||
      echo "add_subdirectory($folder)" >>"$project/CMakeLists.txt"
  done
  {
    echo "include($source/cmake/Layers.cmake)"
    echo "y2e_check_layer_links(\${PROJECT_SOURCE_DIR} $check)"
  } >>"$project/CMakeLists.txt"
  out=$(cmake -S "$project" -B "$project/build" 2>&1)
  rc=$?
  if [ $((rc != 0)) -ne "$code" ]; then
    echo "FAIL $name: exit $rc; output: $out"; fail=1
  elif [[ "$(echo "$out" | tr -s ' \n' ' ')" != *"$text"* ]]; then
    echo "FAIL $name: output lacks \"$text\": $out"; fail=1
  else
    echo "ok   $name"
  fi
}
links "libraries that link downward" 0 "Generating done" \
  text:text_lib: win:win_lib:text_lib convert:convert_lib:"win_lib irun_lib" irun:irun_lib:
links "text links win" 1 "layers: text_lib of text/ links win_lib of win/" \
  text:text_lib:win_lib win:win_lib:
links "picture links convert" 1 "layers: picture_lib of picture/ links convert_lib of convert/" \
  picture:picture_lib:convert_lib convert:convert_lib:picture_lib
links "note links irun" 1 "layers: note_lib of note/ links irun_lib of irun/" \
  note:note_lib:"text_lib irun_lib" text:text_lib: irun:irun_lib:
exit $fail
