#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to rerun; quick when all is there.
#   tools/setup.sh          build and test tools
#   tools/setup.sh --bench  also the tools the benchmarks compare against
set -euo pipefail
packages=(
  cmake make g++ clang
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine64 xvfb xauth
  googletest libxml2-utils imagemagick zip unzip
)
if [ "${1:-}" = "--bench" ]; then
  packages+=(pandoc unrtf valgrind libreoffice-writer-nogui hyperfine)
fi
# wine32 makes /usr/bin/wine pick a 32-bit loader that cannot run here.
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
