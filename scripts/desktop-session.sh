#!/usr/bin/env bash
# Runs a command inside a desktop session of its own, as a blind user's desktop has it: a
# virtual X server with a window manager, a session D-Bus, and the accessibility (AT-SPI) bus through which a
# screen reader reads the windows. Several sessions may run at once.
# Usage: scripts/desktop-session.sh COMMAND [ARG...]
set -euo pipefail

if [ -z "${VELTO_DESKTOP_SESSION:-}" ]; then
  # A private runtime folder (the AT-SPI bus puts its socket there) and a private session
  # bus, on which the AT-SPI bus is started when first asked for.
  runtime=$(mktemp -d)
  chmod 700 "$runtime"
  status=0
  env VELTO_DESKTOP_SESSION=1 XDG_RUNTIME_DIR="$runtime" dbus-run-session -- "$0" "$@" || status=$?
  rm -rf "$runtime"
  exit $status
fi

work=$(mktemp -d)
cleanup_display() {
  if [ -n "${wm_pid:-}" ]; then
    kill "$wm_pid" 2>/dev/null || true
    wait "$wm_pid" 2>/dev/null || true
  fi
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  wm_pid=
  xvfb_pid=
}
cleanup() {
  cleanup_display
  rm -rf "$work"
}
trap cleanup EXIT

# Starts the virtual X server, which picks a free display itself and writes its number, and a
# window manager on it, as every desktop has: it decides which window holds the keyboard
# after a dialog closes and what a screen reader is told while windows come and go. False,
# with both stopped, when either did not start.
start_display() {
  : > "$work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    if [ -s "$work/display" ]; then
      break
    fi
    sleep 0.1
  done
  if [ ! -s "$work/display" ]; then
    echo "desktop-session: the virtual X server did not start" >&2
    cat "$work/xvfb.log" >&2
    cleanup_display
    return 1
  fi
  export DISPLAY=":$(tr -d '\n' < "$work/display")"
  metacity --sm-disable --no-composite >"$work/wm.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 100); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
      return 0
    fi
    sleep 0.1
  done
  echo "desktop-session: the window manager did not start on $DISPLAY" >&2
  cat "$work/wm.log" >&2
  cleanup_display
  return 1
}

# Sessions starting and ending side by side can race for a display number: a failed start
# is tried again on a display picked anew.
started=false
for _ in 1 2 3; do
  if start_display; then
    started=true
    break
  fi
done
if [ "$started" != true ]; then
  exit 1
fi
# Qt applications talk to the AT-SPI bus without waiting for a screen reader to ask.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export QT_ACCESSIBILITY=1
# Start the AT-SPI bus and its registry now, so that the programs find them at start.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
  >/dev/null 2>&1 || true
"$@"
