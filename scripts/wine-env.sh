# Sourced by the scripts that run Windows programs: a fresh Wine prefix and,
# when there is no display, a private Xvfb. Call wine_env_cleanup at the end.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINE=${WINE:-wine}
export WINEPREFIX=${KUMOYA_WINEPREFIX:-$(mktemp -d /tmp/kumoya-wine.XXXXXX)}
KUMOYA_XVFB_PID=""
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    KUMOYA_XVFB_PID=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
    break
  done
fi
$WINE wineboot -i >/dev/null 2>&1 || true
wineserver -w 2>/dev/null || true
wine_env_cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$KUMOYA_XVFB_PID" ] && kill "$KUMOYA_XVFB_PID" 2>/dev/null || true
  [ -z "${KUMOYA_WINEPREFIX:-}" ] && rm -rf "$WINEPREFIX"
  return 0
}
