#!/usr/bin/env bash
# Builds the 32-bit product and packs it for Windows users:
#   build/release/Yarrin2Evernote-<version>.zip
# holding Yarrin2Evernote.dll, irun.dll, INSTALL.txt and SHA256SUMS, and prints the
# SHA-256 of each file and of the zip. The same sources give the same bytes: the DLLs
# carry no build time or folder (cmake/Reproducible.cmake), and the zip lists its
# entries in a fixed order, with the commit's time, fixed permissions and no extra
# fields.
#
#   tools/release.sh           build and pack
#   tools/release.sh --verify  then build and pack again from a copy of the checkout in a
#                              fresh temporary folder, in another time zone and umask,
#                              and compare both DLLs and the zip byte for byte
#
# The zip's file times are the last commit's, or SOURCE_DATE_EPOCH's when it is set.
# Y2E_RELEASE_BUILD_DIR builds in another folder than the preset's build/win32;
# Y2E_JOBS sets the build's parallel jobs (default: all cores).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
verify=0
case "${1:-}" in
  "") ;;
  --verify) verify=1 ;;
  *) echo "usage: tools/release.sh [--verify]" >&2; exit 2 ;;
esac
tools/setup.sh --no-win32-env

build_dir=${Y2E_RELEASE_BUILD_DIR:-build/win32}
jobs=${Y2E_JOBS:-$(nproc)}
# Only the two shipped DLLs: no tests, test hosts or benchmarks.
if [ "$build_dir" = build/win32 ]; then
  cmake --preset win32
  cmake --build --preset win32 -j "$jobs" --target Yarrin2Evernote irun
else
  cmake --preset win32 -B "$build_dir"
  cmake --build "$build_dir" -j "$jobs" --target Yarrin2Evernote irun
fi

version=$(sed -n 's/^project(Yarrin2Evernote VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }

# Each DLL where its target puts it.
find_dll() {
  local name=$1 target=$2 folder
  for folder in bin "$target"; do
    if [ -f "$build_dir/$folder/$name" ]; then
      echo "$build_dir/$folder/$name"
      return 0
    fi
  done
  echo "release: $name missing in $build_dir (target $target did not build)" >&2
  return 1
}
plugin_dll=$(find_dll Yarrin2Evernote.dll plugin)
converter_dll=$(find_dll irun.dll irun)

# The shipped files must be 32-bit, export their names undecorated and need no MinGW
# runtime DLL.
objdump=i686-w64-mingw32-objdump
tools/check-dll.sh "$objdump" "$plugin_dll" i386 Yarrin_IsSupportsPluginUnicode \
  Yarrin_GetPluginInfo Yarrin_GetMenuItemInfo Yarrin_EventHandler CommandProc
tools/check-dll.sh "$objdump" "$converter_dll" i386 EXBufferOpenSession EXBufferConvert \
  EXBufferGetBody EXBufferCloseSession EXBufferGetPictureCount EXBufferGetPictureInfo \
  EXBufferCopyPicture EXBufferConvertPieces EXBufferReadBody

name=Yarrin2Evernote-$version
stage=build/release/$name
zip_file=$root/build/release/$name.zip
rm -rf "$stage" "$zip_file"
mkdir -p "$stage"
cp "$plugin_dll" "$stage/Yarrin2Evernote.dll"
cp "$converter_dll" "$stage/irun.dll"

# Windows line ends: the text is read in Notepad.
sed 's/$/\r/' > "$stage/INSTALL.txt" <<TEXT
Yarrin2Evernote $version
Sends the current Yarrin page (the selection, or the whole page) into Evernote as a
new note.

What you need
- Yarrin for Windows.
- Evernote's desktop client for Windows. Where it comes with its command-line tool
  ENScript.exe (Evernote 6 and earlier), each note is imported directly; the plug-in
  finds Evernote.exe and ENScript.exe through the "App Paths" registry entries that
  Evernote's installer writes. Without ENScript (Evernote 10 and later) each note is
  saved as a file, Documents\Yarrin2Evernote\<title>.enex, and Explorer shows it:
  import it in Evernote with File, Import, "ENEX file" (other notes apps with an ENEX
  import take it too). A file is never overwritten; the next gets a number.

Installing
1. Close Yarrin.
2. Copy both files, Yarrin2Evernote.dll and irun.dll, into Yarrin's plug-in folder:
   the folder named "Plugins" beside Yarrin.exe (for example
   C:\Program Files (x86)\Yarrin\Plugins). Keep the two files together in that folder.
3. Start Yarrin. The plug-in's menu offers "Send Text 2 Evernote", "Start Evernote"
   and "About Yarrin2Evernote".

Settings (none is needed)
Per-user DWORD values under HKEY_CURRENT_USER\Software\Yarrin2Evernote:
- SaveEnexFile = 1: save every note as an ENEX file, even where ENScript is installed.
  reg add HKCU\Software\Yarrin2Evernote /v SaveEnexFile /t REG_DWORD /d 1
- WaitNoticeSeconds: how often the log says that a send still waits for ENScript
  (30 seconds by default).

Removing
Close Yarrin and delete the two files from the Plugins folder. Delete the key
HKEY_CURRENT_USER\Software\Yarrin2Evernote if you made it. Saved notes stay in
Documents\Yarrin2Evernote.

Checking the files
SHA256SUMS holds the SHA-256 checksum of each file. On Windows compare them with
   certutil -hashfile Yarrin2Evernote.dll SHA256
   certutil -hashfile irun.dll SHA256
TEXT

(cd "$stage" && sha256sum Yarrin2Evernote.dll irun.dll INSTALL.txt > SHA256SUMS)

# The same sources give the same zip: entries in a fixed order, each with the commit's
# time (as UTC), mode 644 whatever the umask, and no extra fields (-X: no Unix times or
# owners) or folder entries (-D).
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
  stamp=$SOURCE_DATE_EPOCH
elif ! stamp=$(git log -1 --format=%ct 2>/dev/null); then
  echo "release: not a git checkout; set SOURCE_DATE_EPOCH to the commit's time" >&2
  exit 1
fi
files=(Yarrin2Evernote.dll irun.dll INSTALL.txt SHA256SUMS)
(cd "$stage" && chmod 644 "${files[@]}" && touch -d "@$stamp" "${files[@]}" &&
  TZ=UTC zip -X -D -q "$zip_file" "${files[@]}")

(cd "$stage" && sha256sum --quiet -c SHA256SUMS)
unzip -l "$zip_file"
if commit=$(git rev-parse HEAD 2>/dev/null); then
  dirty=""
  [ -z "$(git status --porcelain)" ] || dirty=" with uncommitted changes"
  echo "release: from commit $commit$dirty"
fi
echo "release: file times $(TZ=UTC date -d "@$stamp" '+%Y-%m-%d %H:%M:%S UTC') (SOURCE_DATE_EPOCH=$stamp)"
echo "release: built with $(dpkg-query -W -f='${Package} ${Version}, ' \
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev zip | sed 's/, $//')"
echo "release: SHA-256"
(cd "$stage" && sha256sum Yarrin2Evernote.dll irun.dll INSTALL.txt SHA256SUMS | sed 's/^/  /')
(cd "$(dirname "$zip_file")" && sha256sum "$(basename "$zip_file")" | sed 's/^/  /')
echo "release: $zip_file"

[ "$verify" -eq 1 ] || exit 0

# A second build of the same files in another folder, umask and time zone, at another
# time; any difference in the shipped bytes, or a build folder's name left in a DLL,
# fails.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/y2e-verify.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
echo "release: verifying in $scratch"
# The checkout's files as they are now, committed or not; ignored ones (builds) stay out.
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' path; do if [ -e "$path" ]; then printf '%s\0' "$path"; fi; done |
  tar --null -T - -cf - | (mkdir "$scratch/src" && tar -xf - -C "$scratch/src")
(umask 077 && cd "$scratch/src" &&
  env SOURCE_DATE_EPOCH="$stamp" TZ=NZST-12 Y2E_RELEASE_BUILD_DIR="$scratch/build" \
    Y2E_JOBS="$jobs" tools/release.sh)
again=$scratch/src/build/release/$name
same=1
for file in "$name/Yarrin2Evernote.dll" "$name/irun.dll" "$name.zip"; do
  tools/first-difference.sh "build/release/$file" "$scratch/src/build/release/$file" || same=0
done
build_abs=$(cd "$build_dir" && pwd)
for dll in "$stage"/*.dll "$again"/*.dll; do
  for folder in "$root" "$build_abs" "$scratch"; do
    # Both byte and UTF-16 strings; grep reads to the end, so that strings never
    # stops on a closed pipe.
    if { strings -a "$dll"; strings -a -el "$dll"; } | grep -F "$folder" >/dev/null; then
      echo "release: $dll holds the build path $folder"
      same=0
    fi
  done
done
if [ "$same" -eq 1 ]; then
  echo "release: verified: the second build gave the same Yarrin2Evernote.dll, irun.dll and $name.zip"
else
  echo "release: NOT reproducible: the second build differs (see above)" >&2
  exit 1
fi
