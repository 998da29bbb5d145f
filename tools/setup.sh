#!/usr/bin/env bash
# Installs every Debian package the project needs and builds the 32-bit Windows
# environment when it is missing (tools/win32-env.sh; once per machine, a few minutes).
# Safe to rerun; quick when all is there.
#   tools/setup.sh                 build and test tools, the 32-bit environment
#   tools/setup.sh --bench         also the tools the benchmarks compare against
#   tools/setup.sh --no-win32-env  without the 32-bit environment (64-bit demo, release)
#   tools/setup.sh --fuzz          also what the clean-up's fuzzer needs (libxml2's headers)
set -euo pipefail
packages=(
  cmake make g++ clang
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine64 xvfb xauth
  googletest libxml2-utils imagemagick zip unzip
  debootstrap
)
win32_env=yes
for option in "$@"; do
  case "$option" in
    --bench) packages+=(pandoc unrtf valgrind libreoffice-writer-nogui hyperfine) ;;
    --fuzz) packages+=(libxml2-dev) ;;
    --no-win32-env) win32_env=no ;;
    *) echo "setup: unknown option $option" >&2; exit 2 ;;
  esac
done
# wine32 makes /usr/bin/wine pick a 32-bit loader that cannot run here: 32-bit Wine lives
# in the chroot of tools/win32-env.sh instead.
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
if [ $win32_env = yes ]; then
  "$(dirname "$0")/win32-env.sh" build
fi
