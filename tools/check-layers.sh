#!/usr/bin/env bash
# The layers of the source folders, and the check that every #include keeps to them.
#   tools/check-layers.sh [ROOT]     ROOT: the checkout to check (default: this one)
# Each include in a product folder (and the test host's testbed/) is resolved as the
# compiler would (beside the including file first, then from the source root); an
# include of another folder that the table below does not allow is named with its file
# and line, and the check fails. System and library headers are not looked at.
set -euo pipefail
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)

# The one table of layers: the folders each folder may include besides itself. Lower
# layers first; a folder never includes one above it.
#   text <- cleanup,  text <- win <- picture <- convert,  evernote <- note <- dialog <- plugin <- testbed
# irun/ (the converter) stands alone and is reached only through convert/ and picture/
# (its rules for pictures' sizes and bitmap headers); cleanup/ (from HTML to the note's
# ENML) is portable and needs text/ alone; resources/ holds the resource identifiers
# that the Windows folders share.
declare -A may_include=(
  [text]=""
  [win]="text"
  [cleanup]="text"
  [irun]=""
  [resources]=""
  [picture]="text win irun"
  [convert]="text win irun picture"
  [evernote]="text win"
  [note]="text win cleanup picture convert evernote resources"
  [dialog]="text win cleanup convert evernote note resources"
  [plugin]="text win cleanup convert evernote note dialog resources"
  # The tests' own loader of irun.dll lives here, beside the stand-ins, to check the
  # converter library on its own.
  [testbed]="text win cleanup picture convert irun evernote note dialog plugin resources"
)
# Single includes outside the table, each with its reason; each is to go.
exceptions=(
)

# Sets `target` to the folder that an include of `path` in `file` (both relative to the
# root) names, or to nothing for a header outside the checkout, and `resolved` to the
# file it names. No subshells: the check resolves a few hundred includes and must take
# well under a second.
resolve_include() {
  local file=$1 path=$2 joined part
  local -a parts=() segments=()
  target= resolved=
  if [ -e "$root/${file%/*}/$path" ]; then
    joined="${file%/*}/$path"
  elif [[ "$path" == */* && -e "$root/$path" ]]; then
    joined=$path
  else
    return 0
  fi
  IFS=/ read -r -a segments <<<"$joined"
  for part in "${segments[@]}"; do
    case "$part" in
      "" | .) ;;
      ..) if [ ${#parts[@]} -eq 0 ]; then target="(outside the checkout)"; return 0; fi
          unset 'parts[${#parts[@]}-1]' ;;
      *) parts+=("$part") ;;
    esac
  done
  if [ ${#parts[@]} -gt 1 ]; then target=${parts[0]}; else target="(the source root)"; fi
  local IFS=/
  resolved="${parts[*]}"
}

is_exception() {
  local exception
  for exception in "${exceptions[@]}"; do [ "$exception" = "$1 $2" ] && return 0; done
  return 1
}

violations=0
# Which file's module (its name without .h or .cpp) includes which, to find two that
# include each other.
declare -A module_includes=()
for folder in $(printf "%s\n" "${!may_include[@]}" | sort); do
  [ -d "$root/$folder" ] || continue
  allowed=" $folder ${may_include[$folder]} "
  # file:line:included path, for every #include "..." and #include <...>
  while IFS=: read -r file line path; do
    resolve_include "$file" "$path"
    [ -n "$target" ] || continue
    [ "${resolved%.*}" != "${file%.*}" ] && module_includes["${file%.*}>${resolved%.*}"]=1
    [[ "$allowed" == *" $target "* ]] && continue
    is_exception "$file" "$path" && continue
    echo "check-layers: $file:$line: includes \"$path\" of $target/, but $folder/ may include only: ${may_include[$folder]:-(no other folder)}" >&2
    violations=$((violations + 1))
  done < <(cd "$root" && find "$folder" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.c' \
             -o -name '*.cpp' -o -name '*.rc' \) -print0 | sort -z |
           xargs -0 -r awk 'match($0, /^[ \t]*#[ \t]*include[ \t]*["<][^">]+[">]/) {
             s = substr($0, RSTART, RLENGTH); sub(/^[^"<]*["<]/, "", s); sub(/[">]$/, "", s)
             print FILENAME ":" FNR ":" s }')
done
if [ "$violations" -gt 0 ]; then
  echo "check-layers: $violations include(s) outside the layers (table in tools/check-layers.sh)" >&2
  exit 1
fi
loops=0
for edge in "${!module_includes[@]}"; do
  from=${edge%%>*} to=${edge#*>}
  if [[ "$from" < "$to" && -n "${module_includes["$to>$from"]:-}" ]]; then
    echo "check-layers: $from and $to include each other" >&2
    loops=$((loops + 1))
  fi
done
if [ "$loops" -gt 0 ]; then
  echo "check-layers: $loops pair(s) of files that include each other" >&2
  exit 1
fi
echo "check-layers: every include keeps to the layers"
