#!/bin/sh
# Prepares or removes a folder that nobody may write into, as ENScript's folder under
# Program Files is for a standard account: ENScript.exe (and the enml2.dtd beside it,
# if any) and an empty notebook folder, then the folder made immutable (chattr +i, which
# holds even for root).
#   lock_folder.sh lock <folder> <ENScript.exe>
#   lock_folder.sh unlock <folder>
# Where the file system or the user cannot make folders immutable, lock leaves no folder
# behind, and the test that needs it says it skipped.
set -u
action=$1 folder=$2
[ -d "$folder" ] && chattr -i "$folder" 2>/dev/null
rm -rf "$folder"
[ "$action" = lock ] || exit 0
mkdir -p "$folder/notebook" && cp "$3" "$folder/ENScript.exe" || exit 1
dtd="$(dirname "$3")/enml2.dtd"
if [ -f "$dtd" ]; then cp "$dtd" "$folder/enml2.dtd" || exit 1; fi
if ! chattr +i "$folder" 2>/dev/null; then
  echo "cannot make $folder immutable here; the test that needs it will skip"
  rm -rf "$folder"
fi
exit 0
