#!/usr/bin/env bash
# The main job: installs what is missing, builds, starts the stand-in service
# with its demo data on a free loopback port and opens the client against it.
#
# With a display the client opens there and the service stops when the client
# ends. Without one (no DISPLAY, or ORVEL_DEMO_HEADLESS=1) everything runs on a
# private Xvfb display: the demo account signs in through the real login
# dialog (keys typed with xdotool), and screenshots of the login dialog and of
# the main window are left in shots/ (or $ORVEL_DEMO_SHOTS); their paths are
# printed. Extra arguments go to the client.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${ORVEL_BUILD_DIR:-$root/build}
client="$build/src/app/OrvelNetdisk"
server="$build/server/orvel-server"
[ -x "$server" ] || { echo "run-demo: $server was not built" >&2; exit 1; }

user=${ORVEL_DEMO_USER:-demo}
password=${ORVEL_DEMO_PASSWORD:-demo123}
work=$(mktemp -d "${TMPDIR:-/tmp}/orvel-demo.XXXXXX")
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# The service picks a free port itself (port 0) and names it in its first line.
mkdir -p "$work/data"
"$server" --listen 127.0.0.1:0 --data "$work/data" --seed demo --quiet >"$work/server.out" 2>"$work/server.err" &
pids+=($!)
url=""
for _ in $(seq 1 200); do
  url=$(sed -n 's/^listening on \(http[^ ]*\).*/\1/p' "$work/server.out" | head -1)
  [ -n "$url" ] && break
  kill -0 "${pids[0]}" 2>/dev/null || break
  sleep 0.1
done
[ -n "$url" ] || { echo "run-demo: the service did not start" >&2; cat "$work/server.err" >&2; exit 1; }
echo "service: $url (demo accounts demo/demo123, teacher/teacher123, admin/admin123, student/student123)"

# The client keeps its settings under a home of its own, so the demo starts
# from a clean sign-in and leaves the user's own settings alone.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export ORVEL_SHM_KEY="orvel-demo-$$"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"

if [ -n "${DISPLAY:-}" ] && [ "${ORVEL_DEMO_HEADLESS:-0}" != "1" ]; then
  "$client" --server "$url" "$@"
  exit $?
fi

# --- headless: Xvfb, xdotool, screenshots -----------------------------------------
for tool in Xvfb xdotool import; do  # xcompmgr is optional
  command -v "$tool" >/dev/null || { echo "run-demo: $tool is missing" >&2; exit 1; }
done
shots=${ORVEL_DEMO_SHOTS:-$root/shots}
mkdir -p "$shots"
shots=$(cd "$shots" && pwd)
display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "run-demo: no free X display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 1 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
# a compositing manager draws the windows' translucent shadow margins as a
# desktop would (without one they show black)
if command -v xcompmgr >/dev/null; then
  xcompmgr >/dev/null 2>&1 &
  pids+=($!)
fi

"$client" --server "$url" "$@" >"$work/client.log" 2>&1 &
client_pid=$!
pids+=($client_pid)

# wait_window TITLE-REGEX: the id of the first visible window whose name matches
wait_window() {
  local id=""
  for _ in $(seq 1 150); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$client_pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}
# shot WINDOW FILE: the window's area of the screen, with its shadow margin
shot() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
}
fail() { echo "run-demo: $1" >&2; tail -20 "$work/client.log" >&2; exit 1; }

login=$(wait_window '^Corvane登录$') || fail "the login dialog did not appear"
sleep 1
xdotool windowfocus --sync "$login" 2>/dev/null || true
# the user-name field has the focus when the dialog opens
xdotool key --clearmodifiers ctrl+a BackSpace
xdotool type --delay 40 "$user"
# Tab reaches the account drop-down first, then the password
xdotool key Tab Tab
xdotool type --delay 40 "$password"
sleep 0.5
shot "$login" "$shots/login.png"
xdotool key Return

main=$(wait_window '^Corvane-') || fail "the main window did not appear after signing in"
sleep 2.5
shot "$main" "$shots/main.png"
echo "login dialog: $shots/login.png"
echo "main window:  $shots/main.png"

# ORVEL_DEMO_ALL_SHOTS=1 also leaves the user menu, the password dialog and the
# maximised window (positions are those of the demo account's title bar).
if [ "${ORVEL_DEMO_ALL_SHOTS:-0}" = "1" ]; then
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool mousemove $((X + WIDTH - 205)) $((Y + 43)) click 1
  sleep 1
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$shots/user-menu.png"
  xdotool mousemove $((X + WIDTH - 200)) $((Y + 78)) click 1
  sleep 1.2
  import -window root "$shots/change-password.png"
  xdotool key Escape
  sleep 0.5
  xdotool mousemove $((X + 400)) $((Y + 40)) click --repeat 2 --delay 80 1
  sleep 1.5
  import -window root "$shots/main-maximised.png"
  echo "user menu:    $shots/user-menu.png"
  echo "password:     $shots/change-password.png"
  echo "maximised:    $shots/main-maximised.png"
fi
