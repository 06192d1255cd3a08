#!/bin/sh
# Runs a command on a private X display that has a notification area: Xvfb and a
# system tray (trayer). The command sees DISPLAY, Qt's xcb platform and no session
# bus, so Qt's icon goes to the tray of this display.
set -u
for tool in Xvfb trayer xprop; do
  command -v "$tool" >/dev/null 2>&1 || { echo "with-tray: $tool is not installed" >&2; exit 77; }
done
display=":$(( 90 + $$ % 400 ))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
tray=""
cleanup() { [ -n "$tray" ] && kill "$tray" 2>/dev/null; kill "$xvfb" 2>/dev/null; wait 2>/dev/null; }
trap cleanup EXIT INT TERM
export DISPLAY="$display"
i=0
until xprop -root >/dev/null 2>&1; do
  i=$((i + 1)); [ $i -gt 100 ] && { echo "with-tray: Xvfb did not start" >&2; exit 1; }; sleep 0.05
done
trayer --edge top --align right --widthtype pixel --width 200 --height 32 >/dev/null 2>&1 &
tray=$!
# The tray is there once it owns the system tray selection of screen 0.
i=0
until python3 - <<'PY' 2>/dev/null
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
d = x.XOpenDisplay(None)
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XGetSelectionOwner.restype = ctypes.c_ulong
x.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
sys.exit(0 if d and x.XGetSelectionOwner(d, x.XInternAtom(d, b"_NET_SYSTEM_TRAY_S0", 0)) else 1)
PY
do
  i=$((i + 1)); [ $i -gt 100 ] && { echo "with-tray: the tray did not start" >&2; exit 1; }; sleep 0.05
done
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
QT_QPA_PLATFORM=xcb NORVEXA_TRAY_EXPECTED=1 "$@"
