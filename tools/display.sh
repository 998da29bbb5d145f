# Shared by the test and demo commands: one Xvfb display and a Wine prefix per run.
Y2E_WINE=/usr/lib/wine/wine64
Y2E_WINESERVER=/usr/lib/wine/wineserver

start_display() {
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    Y2E_XVFB_PID=$!
    for _ in $(seq 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
    if kill -0 "$Y2E_XVFB_PID" 2>/dev/null; then
      export DISPLAY=":$n"
      return 0
    fi
  done
  echo "cannot start Xvfb" >&2
  return 1
}

stop_display() {
  if [ -n "${Y2E_PREFIX:-}" ]; then
    WINEPREFIX=$Y2E_PREFIX "$Y2E_WINESERVER" -k >/dev/null 2>&1 || true
  fi
  [ -n "${Y2E_XVFB_PID:-}" ] && kill "$Y2E_XVFB_PID" 2>/dev/null
  return 0
}

source "$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh"

# Makes the prefix once and keeps its server up for the whole run, so that each test
# program starts quickly.
prepare_wine_prefix() {
  Y2E_PREFIX=$(mkdir -p "$1" && cd "$1" && pwd)
  export WINEPREFIX=$Y2E_PREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  echo "Preparing the Wine prefix $Y2E_PREFIX"
  ensure_wine_prefix "$Y2E_PREFIX" || return 1
  "$Y2E_WINESERVER" -p 2>/dev/null || true
  # Wine's services and the desktop start with the first program and live as long as the
  # server. Started here, they hold no test's output pipe open after the test has ended.
  "$Y2E_WINE" cmd /c exit >/dev/null 2>&1 </dev/null
  "$Y2E_WINE" explorer.exe /desktop=Default,1280x1024 >/dev/null 2>&1 </dev/null &
  sleep 1
}
