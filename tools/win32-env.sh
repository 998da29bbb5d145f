#!/usr/bin/env bash
# The 32-bit Windows environment: 32-bit Wine from Debian 13 (trixie) in a chroot, built
# once per machine and cached outside the checkout, so that the shipped 32-bit DLLs run
# under test. A kernel that runs no 32-bit x86 code has the chroot's i386 programs run by
# qemu-i386, handed to it by a binfmt_misc of a private user namespace: the host's own
# binfmt_misc, apt sources and architectures are never changed.
#
#   win32-env.sh build            build the chroot when missing or made by an older recipe
#   win32-env.sh start <prefix>   start a session for a 32-bit Wine prefix (made when
#                                 missing): namespace, wineserver and desktop on $DISPLAY
#   win32-env.sh wine <prefix> <program> [args...]
#                                 run a Windows program in the prefix's session, or in a
#                                 session of its own when none is running
#   win32-env.sh shell <prefix> [command]   a shell command inside the chroot
#   win32-env.sh stop <prefix>    end the session
#
# A session sees the chroot through an overlay (the cache itself stays as built), the
# checkout and the prefix's folder at their own paths, and the host's X sockets.
#
# Y2E_WIN32_ENV_CACHE  cache folder (default /var/cache/yarrin2evernote)
# Y2E_DEBIAN_MIRROR    Debian mirror (default: the one the machine's apt sources name)
# Y2E_WIN32_QEMU       "always": i386 programs go through qemu-i386 even where the
#                      kernel runs them itself (to try the emulated road on such a machine)
set -euo pipefail

self=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/$(basename "${BASH_SOURCE[0]}")
checkout=$(cd "$(dirname "$self")/.." && pwd)

# The recipe. Any change to these values builds a new chroot beside the old one.
suite=trixie
packages="wine wine32:i386 qemu-user"
recipe_revision=1
cache=${Y2E_WIN32_ENV_CACHE:-/var/cache/yarrin2evernote}
stamp=$(printf '%s|%s|%s' "$suite" "$packages" "$recipe_revision" | sha256sum | cut -c1-12)
env_dir=$cache/win32-env
root_dir=$env_dir/$suite-$stamp

say() { echo "win32-env: $*" >&2; }
fail() {
  say "$*"
  exit 1
}

# The Debian mirror of the machine's own apt sources: the first "deb" entry (one-line or
# deb822) with a suite named for a release, not its -security or -updates suites.
debian_mirror() {
  if [ -n "${Y2E_DEBIAN_MIRROR:-}" ]; then
    echo "$Y2E_DEBIAN_MIRROR"
    return 0
  fi
  local files=() f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && files+=("$f")
  done
  [ ${#files[@]} -gt 0 ] || return 0
  awk '
    function release(s) {
      return s ~ /^(oldoldstable|oldstable|stable|testing|unstable|sid|buster|bullseye|bookworm|trixie|forky|duke)$/
    }
    function words(text, into) { gsub(/^[ \t]+|[ \t]+$/, "", text); return split(text, into, /[ \t]+/) }
    function flush(   n, i, s, u) {
      if (!found && types ~ /(^|[ \t])deb([ \t]|$)/ && tolower(enabled) != "no" && uris != "") {
        n = words(suites, s)
        for (i = 1; i <= n; i++)
          if (release(s[i])) { words(uris, u); found = u[1]; break }
      }
      types = uris = suites = enabled = ""
    }
    FNR == 1 { flush() }
    /^[ \t]*#/ { next }
    FILENAME ~ /\.list$/ {
      line = $0
      sub(/\[[^]]*\]/, "", line)
      if (!found && words(line, f) >= 3 && f[1] == "deb" && release(f[3])) found = f[2]
      next
    }
    /^[ \t]*$/ { flush(); next }
    { key = tolower($1); value = $0; sub(/^[^:]*:[ \t]*/, "", value) }
    key == "types:" { types = value }
    key == "uris:" { uris = value }
    key == "suites:" { suites = value }
    key == "enabled:" { enabled = value }
    END { flush(); if (found) { sub(/\/+$/, "", found); print found } }
  ' "${files[@]}"
}

build_env() {
  if [ -d "$root_dir" ]; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    say "building the 32-bit environment needs root: running it through sudo"
    exec sudo Y2E_WIN32_ENV_CACHE="$cache" Y2E_DEBIAN_MIRROR="${Y2E_DEBIAN_MIRROR:-}" "$self" build
  fi
  command -v debootstrap >/dev/null || fail "debootstrap is missing (tools/setup.sh installs it)"
  local mirror
  mirror=$(debian_mirror)
  [ -n "$mirror" ] || fail "cannot build the 32-bit environment: no Debian mirror in the apt sources" \
    "(/etc/apt/sources.list, /etc/apt/sources.list.d); set Y2E_DEBIAN_MIRROR"

  mkdir -p "$env_dir"
  exec 9>"$env_dir/.lock"
  if ! flock -n 9; then
    say "another run is building the 32-bit environment: waiting for it"
    flock 9
  fi
  [ -d "$root_dir" ] && return 0

  # Only complete chroots carry their final name; whatever else is here was cut off.
  rm -rf "$env_dir"/.building-*
  local work=$env_dir/.building-$suite-$stamp log=$env_dir/build.log started=$SECONDS
  say "building the 32-bit environment once for this machine: Debian $suite with 32-bit Wine" \
    "and qemu-user from $mirror into $root_dir (a few minutes, about 1.6 GB)"
  : >"$log"
  if ! wget -q -T 30 -t 2 -O /dev/null "$mirror/dists/$suite/Release" >>"$log" 2>&1; then
    fail "cannot build the 32-bit environment: no network to the Debian mirror $mirror" \
      "(cannot fetch dists/$suite/Release)"
  fi
  if ! debootstrap --variant=minbase "$suite" "$work" "$mirror" >>"$log" 2>&1; then
    tail -n 15 "$log" >&2
    fail "cannot build the 32-bit environment: debootstrap of Debian $suite from $mirror failed" \
      "(full log: $log)"
  fi
  echo "deb $mirror $suite main" >"$work/etc/apt/sources.list"
  # The machine's clock may lie beyond a Release file's validity.
  printf 'Acquire::Check-Valid-Until "false";\nAcquire::Retries "3";\n' \
    >"$work/etc/apt/apt.conf.d/99yarrin2evernote"
  if ! unshare --mount --fork --propagation private sh -ec '
      R=$1 packages=$2
      mount -t proc proc "$R/proc"
      mount --rbind /dev "$R/dev"
      chroot "$R" dpkg --add-architecture i386
      chroot "$R" apt-get update
      chroot "$R" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $packages
      chroot "$R" apt-get clean' sh "$work" "$packages" >>"$log" 2>&1; then
    tail -n 15 "$log" >&2
    fail "cannot build the 32-bit environment: installing $packages into the chroot failed" \
      "(full log: $log)"
  fi
  local needed
  for needed in /usr/lib/wine/wine /usr/bin/qemu-i386 /usr/share/qemu/binfmt.d/qemu-i386.conf; do
    [ -e "$work$needed" ] || fail "cannot build the 32-bit environment: the chroot lacks $needed" \
      "(full log: $log)"
  done
  mv "$work" "$root_dir"
  # Chroots of older recipes go; the lock keeps other builds out meanwhile.
  local old
  for old in "$env_dir"/*; do
    [ "$old" != "$root_dir" ] && [ -d "$old" ] && rm -rf "$old"
  done
  say "built $root_dir in $((SECONDS - started)) s"
}

# --- Sessions -----------------------------------------------------------------------

# Runs as process 1 of the session's namespaces (user, mount, pid): mounts the session's
# view of the chroot, routes i386 programs to qemu when the kernel cannot run them,
# reports "ready" and then only reaps orphans until the session is stopped.
hold_session() {
  local root=$1 mounts=$2 prefix=$3 view probe
  mount -t tmpfs -o mode=755 tmpfs "$mounts"
  mkdir "$mounts/upper" "$mounts/work" "$mounts/root"
  view=$mounts/root
  mount -t overlay overlay -o "lowerdir=$root,upperdir=$mounts/upper,workdir=$mounts/work" "$view" ||
    fail "cannot mount an overlay of the chroot in a user namespace (needs Linux 5.11 or later)"
  mount -t proc proc "$view/proc"
  mount --rbind /dev "$view/dev"
  mkdir -p "$view$checkout" "$view$prefix" "$view/tmp/.X11-unix"
  mount --rbind "$checkout" "$view$checkout"
  case "$prefix/" in
    "$checkout"/*) ;;
    *) mount --rbind "$prefix" "$view$prefix" ;;
  esac
  [ -d /tmp/.X11-unix ] && mount --bind /tmp/.X11-unix "$view/tmp/.X11-unix"

  probe() { chroot "$view" /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
  local own_binfmt=no
  mount -t binfmt_misc binfmt_misc "$view/proc/sys/fs/binfmt_misc" 2>/dev/null && own_binfmt=yes
  if [ "${Y2E_WIN32_QEMU:-}" = always ] || ! probe; then
    [ $own_binfmt = yes ] ||
      fail "this kernel runs no i386 code and cannot mount binfmt_misc in a user namespace" \
        "(needs Linux 6.7 or later)"
    chroot "$view" sh -c 'cat /usr/share/qemu/binfmt.d/qemu-i386.conf > /proc/sys/fs/binfmt_misc/register' ||
      fail "cannot register qemu-i386 with the session's binfmt_misc"
    probe || fail "i386 programs do not run in the chroot, not even through qemu-i386"
    echo "i386 programs run through qemu-i386"
  else
    echo "i386 programs run natively"
  fi
  echo ready
  trap 'exit 0' TERM
  while :; do
    sleep 3600 &
    wait $! || true
  done
}

session_file() { echo "$1.session"; }

# The session's process 1 as the host sees it, if the session is up.
session_pid() {
  local file holder ns
  file=$(session_file "$1")
  [ -f "$file" ] || return 1
  read -r holder ns <"$file" || return 1
  kill -0 "$holder" 2>/dev/null && [ -d "/proc/$ns" ] || return 1
  echo "$ns"
}

# in_session <prefix> <ns-pid> <shell command> [args...]: runs the command as root of the
# session, inside the chroot, with the prefix's Wine settings and the caller's folder.
in_session() {
  local prefix=$1 ns=$2 command=$3
  shift 3
  nsenter --target "$ns" --user --mount --pid -- \
    chroot "$(dirname "$prefix")/.$(basename "$prefix").mounts/root" \
    /usr/bin/env -i HOME=/root PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 \
    DISPLAY="${DISPLAY:-}" WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG="${WINEDEBUG:--all}" \
    WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}" \
    /bin/sh -c "cd \"\$0\" 2>/dev/null || cd /; $command" "$PWD" "$@"
}

start_session() {
  local prefix=$1 mounts log holder ns
  [ -d "$root_dir" ] || fail "the 32-bit environment is not built yet: run tools/win32-env.sh build" \
    "(tools/setup.sh does)"
  [ -n "${DISPLAY:-}" ] || fail "no X display: set DISPLAY (tools/display.sh starts one)"
  session_pid "$prefix" >/dev/null && return 0
  unshare --user --map-root-user true 2>/dev/null ||
    fail "cannot start the 32-bit environment: this kernel does not allow user namespaces" \
      "(unshare --user failed)"
  mkdir -p "$prefix"
  mounts=$(dirname "$prefix")/.$(basename "$prefix").mounts
  log=$prefix.session.log
  mkdir -p "$mounts"
  unshare --user --map-root-user --mount --pid --fork --kill-child --propagation private \
    bash "$self" _hold "$root_dir" "$mounts" "$prefix" >"$log" 2>&1 </dev/null 8>&- 9>&- &
  holder=$!
  for _ in $(seq 300); do
    grep -qx ready "$log" 2>/dev/null && break
    kill -0 "$holder" 2>/dev/null || break
    sleep 0.1
  done
  ns=$(head -n 1 "/proc/$holder/task/$holder/children" 2>/dev/null | cut -d' ' -f1)
  if ! grep -qx ready "$log" 2>/dev/null; then
    end_holder "$holder" "$ns"
    cat "$log" >&2
    fail "cannot start the 32-bit environment (see the lines above)"
  fi
  echo "$holder $ns" >"$(session_file "$prefix")"

  if [ ! -f "$prefix/.y2e-ready" ]; then
    say "making the 32-bit Wine prefix $prefix"
    # Windows go on a Wine virtual desktop: without a window manager Wine waits two
    # seconds for every top-level window that is hidden or destroyed.
    in_session "$prefix" "$ns" 'wineboot -i
      wine reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f
      wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d 1280x1024 /f
      wineserver -w' >"$prefix.make.log" 2>&1 </dev/null || true
    [ -f "$prefix/system.reg" ] ||
      fail "cannot make the 32-bit Wine prefix $prefix (log: $prefix.make.log)"
    touch "$prefix/.y2e-ready"
  fi
  # The server, Wine's services and the desktop live as long as the session, so that
  # each program starts quickly and none of them holds a test's output open.
  in_session "$prefix" "$ns" 'wineserver -p; wine cmd /c exit
    wine explorer.exe /desktop=Default,1280x1024 </dev/null >/dev/null 2>&1 &' \
    >/dev/null 2>&1 </dev/null
}

# Ends a session's namespaces: their process 1 (unshare itself ignores SIGTERM) takes
# every process of the session with it.
end_holder() {
  local holder=$1 ns=$2
  [ -n "$ns" ] && kill "$ns" 2>/dev/null
  for _ in $(seq 50); do
    kill -0 "$holder" 2>/dev/null || return 0
    sleep 0.1
  done
  [ -n "$ns" ] && kill -KILL "$ns" 2>/dev/null
  kill -KILL "$holder" 2>/dev/null || true
}

stop_session() {
  local prefix=$1 ns holder
  if ns=$(session_pid "$prefix"); then
    # The server writes the registry as it ends.
    in_session "$prefix" "$ns" 'wineserver -k; wineserver -w' >/dev/null 2>&1 </dev/null || true
    read -r holder _ <"$(session_file "$prefix")"
    end_holder "$holder" "$ns"
  fi
  rm -f "$(session_file "$prefix")"
}

absolute() { mkdir -p "$1" && (cd "$1" && pwd); }

command=${1:-}
case "$command" in
  build)
    build_env
    ;;
  _hold)
    hold_session "$2" "$3" "$4"
    ;;
  start | stop | wine | shell)
    [ $# -ge 2 ] || fail "usage: win32-env.sh $command <prefix> ..."
    prefix=$(absolute "$2")
    shift 2
    case "$command" in
      start) start_session "$prefix" ;;
      stop) stop_session "$prefix" ;;
      wine | shell)
        [ "$command" = shell ] || [ $# -ge 1 ] || fail "usage: win32-env.sh wine <prefix> <program> [args...]"
        if ns=$(session_pid "$prefix"); then
          if [ "$command" = wine ]; then
            in_session "$prefix" "$ns" 'exec wine "$@"' "$@"
          else
            in_session "$prefix" "$ns" "${1:-exec bash}"
          fi
          exit $?
        fi
        # No session: one of its own for this program, on a display of its own if needed
        # (without an authority file, which the chroot would not see).
        exec 8>"$prefix.session.lock"
        flock 8
        if [ -z "${DISPLAY:-}" ]; then
          source "$(dirname "$self")/display.sh"
          start_display
        fi
        trap 'stop_session "$prefix"; [ -z "${Y2E_XVFB_PID:-}" ] || kill "$Y2E_XVFB_PID"' EXIT
        start_session "$prefix"
        ns=$(session_pid "$prefix")
        status=0
        if [ "$command" = wine ]; then
          in_session "$prefix" "$ns" 'exec wine "$@"' "$@" || status=$?
        else
          in_session "$prefix" "$ns" "${1:-exec bash}" || status=$?
        fi
        exit $status
        ;;
    esac
    ;;
  *)
    sed -n '2,/^set -euo/p' "$self" | sed '$d' >&2
    exit 2
    ;;
esac
