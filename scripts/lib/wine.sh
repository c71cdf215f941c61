# Sourced by the scripts: a Wine prefix of our own, made once, and quiet Wine.
# zet_wine_prefix DIR: exports WINEPREFIX=DIR and creates the prefix if needed.
zet_wine_prefix() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  # No prompts for the runtime add-ons; nothing here needs them.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    echo "wine: creating prefix $WINEPREFIX (once; takes a little while)"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
  # A virtual display has no window manager: windows draw their own title
  # bars and frames (the screenshots show them), and Wine does not wait for a
  # window manager to answer when a window is shown, hidden or activated.
  if ! grep -qs '"Managed"="N"' "$WINEPREFIX/user.reg"; then
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    wineserver -w || true
  fi
  # A program that crashes ends with its backtrace on the console: no crash
  # dialog that waits on the virtual display for a click until a test's time
  # is up.
  if ! grep -qs '"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg"; then
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
    wineserver -w || true
  fi
}
