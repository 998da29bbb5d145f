# Makes a Wine prefix ready for the project's programs, once per prefix, even when
# several programs start at the same time.
#
# Windows are shown on a Wine virtual desktop: without a window manager on the X display,
# Wine waits two seconds for every top-level window that is hidden or destroyed.
ensure_wine_prefix() {
  local prefix=$1 wine=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver
  [ -f "$prefix/.y2e-ready" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    [ -f "$prefix/.y2e-ready" ] && exit 0
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    "$wine" wineboot -i >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
    # The registry files are written when the server ends.
    "$server" -w
    touch "$prefix/.y2e-ready"
  ) 9>"$prefix.lock"
  [ -f "$prefix/.y2e-ready" ]
}
