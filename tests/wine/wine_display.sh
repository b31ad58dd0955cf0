# Windows with a window under Wine: a virtual X display of the run's own and the dialog font in
# the prefix. Source after wine_env.sh; call wine_display_start after wine_env_init.
#
# - Xvfb runs without a window manager: a top-level window is an unmanaged X window that shows
#   only its client area, at the client's screen place.
# - Wine's top-level windows are left to a window manager by default ("managed"): without one,
#   every hidden or destroyed window waits about 2 s for a state change that never comes. Wine
#   draws the frames itself instead (X11 Driver "Managed"=N), set once per prefix.
# - Debian's Wine does not find the fonts of fonts-wine by itself (every face falls back to a much
#   wider one); "MS Sans Serif" is the bitmap font sserife.fon, copied into the prefix once.

XVFB_PID=

wine_display_start() {
  command -v Xvfb >/dev/null || { wine_log "Xvfb is missing (make deps installs xvfb)"; exit 1; }
  local fd_file="$RUN_DIR/xvfb.display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
    3>"$fd_file" >"$RUN_DIR/xvfb.log" 2>&1 </dev/null 9>&- &
  XVFB_PID=$!
  trap wine_display_cleanup EXIT
  local i
  for i in $(seq 1 500); do [ -s "$fd_file" ] && break; sleep 0.01; done
  [ -s "$fd_file" ] || { wine_log "Xvfb did not start"; cat "$RUN_DIR/xvfb.log" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$fd_file")"
  # wine_env.sh turns the window driver off for console programs: turn it back on.
  export WINEDLLOVERRIDES="mscoree=;mshtml=;winewayland.drv="
}

wine_prepare_windows() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" font=/usr/share/wine/fonts/sserife.fon
  local marker="$WINEPREFIX/relay-windows-prepared"
  [ -f "$fonts/sserife.fon" ] && [ -f "$marker" ] && return 0
  [ -f "$font" ] || { wine_log "$font is missing (make deps installs fonts-wine)"; exit 1; }
  wine_log "preparing the prefix for windows: unmanaged top-level windows, the dialog font"
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >>"$RUN_DIR/reg.log" 2>&1 || { cat "$RUN_DIR/reg.log" >&2; exit 1; }
  mkdir -p "$fonts"
  cp "$font" "$fonts/"
  touch "$marker"
  # Wine lists the fonts and reads its settings when its server starts.
  wineserver -k 2>/dev/null || true
  wineserver -w
  wineserver -p >>"$RUN_DIR/wineserver.log" 2>&1 9>&-
}

# Ends the display after the Wine processes, then runs wine_env.sh's cleanup with the exit code.
wine_display_cleanup() {
  local rc=$?
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  if [ -n "$XVFB_PID" ]; then
    kill -TERM "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  (exit "$rc")
  wine_env_cleanup
}
