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
# Japanese text: the prefix is not a Japanese Windows, so link the system's
# UI fonts to the IPA fonts (as a Japanese Windows links them to its own) and
# let the Japanese face names programs ask for resolve to them.
if [ ! -f "$WINEPREFIX/.kumoya-fonts" ]; then
  cat > "$WINEPREFIX/kumoya-fonts.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]
"Tahoma"=hex(7):69,00,70,00,61,00,67,00,70,00,2e,00,74,00,74,00,66,00,2c,00,49,00,50,00,41,00,50,00,47,00,6f,00,74,00,68,00,69,00,63,00,00,00,00,00
"Microsoft Sans Serif"=hex(7):69,00,70,00,61,00,67,00,70,00,2e,00,74,00,74,00,66,00,2c,00,49,00,50,00,41,00,50,00,47,00,6f,00,74,00,68,00,69,00,63,00,00,00,00,00
"MS Shell Dlg"=hex(7):69,00,70,00,61,00,67,00,70,00,2e,00,74,00,74,00,66,00,2c,00,49,00,50,00,41,00,50,00,47,00,6f,00,74,00,68,00,69,00,63,00,00,00,00,00
"MS Shell Dlg 2"=hex(7):69,00,70,00,61,00,67,00,70,00,2e,00,74,00,74,00,66,00,2c,00,49,00,50,00,41,00,50,00,47,00,6f,00,74,00,68,00,69,00,63,00,00,00,00,00
"Segoe UI"=hex(7):69,00,70,00,61,00,67,00,70,00,2e,00,74,00,74,00,66,00,2c,00,49,00,50,00,41,00,50,00,47,00,6f,00,74,00,68,00,69,00,63,00,00,00,00,00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS PGothic"="IPAPGothic"
"MS UI Gothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS Mincho"="IPAMincho"
REG
  # The Japanese face names, written as UTF-16 so that no code page is involved.
  python3 - "$WINEPREFIX/kumoya-fonts.reg" <<'PY'
import sys
path = sys.argv[1]
text = open(path, encoding="ascii").read()
text += '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"ＭＳ ゴシック"="IPAGothic"\r\n"ＭＳ 明朝"="IPAMincho"\r\n'
open(path, "w", encoding="utf-16", newline="\r\n").write(text.replace("\r\n", "\n"))
PY
  $WINE regedit /S "$WINEPREFIX/kumoya-fonts.reg" >/dev/null 2>&1 || true
  # The symbol font of the caption buttons, check marks and arrows: Debian's
  # Wine ships it (fonts-wine) where this Wine does not look, and without it
  # the title bar shows the letters "0 1 r". A Windows has it in its Fonts
  # folder; so does the prefix now.
  for marlett in /usr/share/wine/fonts/marlett.ttf /usr/share/fonts/truetype/wine/marlett.ttf; do
    if [ -f "$marlett" ] && [ -d "$WINEPREFIX/drive_c/windows/Fonts" ]; then
      ln -sf "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
      break
    fi
  done
  # Without a window manager, Wine waits for one each time a managed window is
  # hidden; unmanaged windows behave the same and close at once.
  $WINE reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
  touch "$WINEPREFIX/.kumoya-fonts"
fi
wine_env_cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$KUMOYA_XVFB_PID" ] && kill "$KUMOYA_XVFB_PID" 2>/dev/null || true
  [ -z "${KUMOYA_WINEPREFIX:-}" ] && rm -rf "$WINEPREFIX"
  return 0
}
