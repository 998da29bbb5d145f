#!/usr/bin/env bash
# Builds the 32-bit product and packs it for Windows users:
#   build/release/Yarrin2Evernote-<version>.zip
# holding Yarrin2Evernote.dll, irun.dll, INSTALL.txt and SHA256SUMS.
#
#   tools/release.sh
#
# Y2E_RELEASE_BUILD_DIR builds in another folder than the preset's build/win32;
# Y2E_JOBS sets the build's parallel jobs (default: all cores).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
tools/setup.sh --no-win32-env

build_dir=${Y2E_RELEASE_BUILD_DIR:-build/win32}
jobs=${Y2E_JOBS:-$(nproc)}
# The two DLLs only: the 32-bit test stage's programs are not shipped.
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
  EXBufferGetBody EXBufferCloseSession

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
- Evernote's desktop client for Windows, installed together with its command-line
  tool ENScript.exe. The plug-in finds Evernote.exe and ENScript.exe through the
  "App Paths" registry entries that Evernote's installer writes; nothing else is set up.

Installing
1. Close Yarrin.
2. Copy both files, Yarrin2Evernote.dll and irun.dll, into Yarrin's plug-in folder:
   the folder named "Plugins" beside Yarrin.exe (for example
   C:\Program Files (x86)\Yarrin\Plugins). Keep the two files together in that folder.
3. Start Yarrin. The plug-in's menu offers "Send Text 2 Evernote", "Start Evernote"
   and "About Yarrin2Evernote".

Removing
Close Yarrin and delete the two files from the Plugins folder. The plug-in keeps no
settings or other files.

Checking the files
SHA256SUMS holds the SHA-256 checksum of each file. On Windows compare them with
   certutil -hashfile Yarrin2Evernote.dll SHA256
   certutil -hashfile irun.dll SHA256
TEXT

(cd "$stage" && sha256sum Yarrin2Evernote.dll irun.dll INSTALL.txt > SHA256SUMS)

# The same sources give the same zip: file times are the last commit's, no extra fields.
stamp=$(git log -1 --format=%ct 2>/dev/null || date +%s)
touch -d "@$stamp" "$stage"/*
(cd "$stage" && TZ=UTC zip -X -q "$zip_file" Yarrin2Evernote.dll irun.dll INSTALL.txt SHA256SUMS)

(cd "$stage" && sha256sum --quiet -c SHA256SUMS)
unzip -l "$zip_file"
echo "release: $zip_file"
