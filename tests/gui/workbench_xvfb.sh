#!/usr/bin/env bash
# End-to-end: the built tavelo-workbench under Xvfb. The window titled
# "Tavelo" appears, the simulator recorded as running at the last exit
# serves, Ctrl+4 chooses the Simuler tab, Alt+F4 ends the program with
# status 0 (as SIGTERM does) and stops the simulator, and the settings file
# then holds a 44-byte WindowPlacement and LastView 3. With LastAutoStart 1 and a free LastPort in a prepared
# settings file, the program listens on that port as soon as its window
# shows, and a trap sent there reaches the log file.
#   workbench_xvfb.sh PROGRAM [SCREENSHOT.png]
set -uo pipefail

program=$1
screenshot=${2:-}
. "$(dirname "$0")/../common/free_udp_port.sh"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Starts the program and sets `pid` and `window` once its window shows.
start() {
  "$program" &
  pid=$!
  window=""
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Tavelo$' 2>/dev/null | head -1)
    [ -n "$window" ] && return
    kill -0 "$pid" 2>/dev/null || fail "the program ended before its window appeared"
    sleep 0.2
  done
  kill -9 "$pid"
  fail "no window titled Tavelo within 20 s"
}

# Gives the window the keyboard focus (there is no window manager); a
# window just mapped may refuse it for a moment.
focus() {
  for _ in $(seq 20); do
    sleep 0.25
    timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null && return
  done
  kill "$pid"
  fail "cannot focus the window"
}

# The trap receiver starts with the program and logs what it receives.
check_autostart() {
  export XDG_CONFIG_HOME=$XDG_CONFIG_HOME/autostart XDG_STATE_HOME=$XDG_STATE_HOME/autostart
  mkdir -p "$XDG_CONFIG_HOME/tavelo" "$XDG_STATE_HOME"
  local port key='[HKEY_CURRENT_USER\Software\Tavelo\Tavelo'
  port=$(free_udp_port)
  # Log features: Program SNMP, SNMP Frame (In), SNMP Decode (In).
  printf 'REGEDIT4\n\n%s\\DlgTrapParameter]\n"LastPort"=dword:%08x\n"LastAutoStart"=dword:00000001\n\n%s\\ViewLogs]\n"LogLevel"=dword:00a80000\n' \
    "$key" "$port" "$key" >"$XDG_CONFIG_HOME/tavelo/settings.reg"
  start
  local listening=""
  for _ in $(seq 100); do
    [ -n "$(ss -Huln "sport = :$port")" ] && { listening=1; break; }
    sleep 0.1
  done
  [ -n "$listening" ] || { kill "$pid"; fail "not listening on UDP port $port 10 s after the window showed"; }
  snmptrap -v 2c -c public -M "" "127.0.0.1:$port" 4242 1.3.6.1.6.3.1.1.5.1 1.3.6.1.2.1.1.5.0 s e2e-trap ||
    { kill "$pid"; fail "snmptrap failed"; }
  local log="" logged=""
  for _ in $(seq 100); do
    log=$(find "$XDG_STATE_HOME" -name '*.log' | head -1)
    if [ -n "$log" ] && grep -q "bytes received from 127.0.0.1:" "$log" &&
      grep -qF "Decoded a 'PDU Trap V2' frame" "$log"; then
      logged=1
      break
    fi
    sleep 0.1
  done
  [ -n "$logged" ] || { kill "$pid"; fail "the trap is not in the log ${log:-(no log file)}"; }
  # The Logger with those lines (SCREENSHOT-logger.png).
  if [ -n "$screenshot" ] && command -v import >/dev/null &&
    timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null; then
    xdotool key --clearmodifiers ctrl+5
    sleep 0.5
    import -window "$window" "${screenshot%.png}-logger.png" || echo "no Logger screenshot taken" >&2
  fi
  kill -TERM "$pid"
  ends_after "SIGTERM"
  grep -q '^"LastAutoStart"=dword:00000001' "$XDG_CONFIG_HOME/tavelo/settings.reg" ||
    fail "LastAutoStart did not stay 1: $(cat "$XDG_CONFIG_HOME/tavelo/settings.reg")"
  echo "OK: listening on UDP port $port at start-up, the trap logged in $log"
}

# Waits up to 10 s for the program to end after $1, with status 0.
ends_after() {
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -9 "$pid"
    fail "$1 did not end the program within 10 s"
  fi
  wait "$pid"
  local status=$?
  [ "$status" = 0 ] || fail "$1 ended the program with status $status"
}

# Records a simulator as the one that ran at the last exit (sets sim and
# sim_port); sim_port stays empty without the tavelo program.
prepare_simulator() {
  local cli=$(dirname "$program")/../cli/tavelo
  sim_port=""
  [ -x "$cli" ] || { echo "no tavelo program beside $program: simulator checks skipped" >&2; return; }
  sim=$XDG_DATA_HOME/Tavelo/Simulators/restart.tav
  mkdir -p "$(dirname "$sim")" "$XDG_CONFIG_HOME/tavelo"
  sim_port=$(free_udp_port)
  "$cli" sim new "$sim" --port "$sim_port" --community tumbol -v both >/dev/null || fail "tavelo sim new failed"
  "$cli" sim add "$sim" 1.3.6.1.2.1.1.5.0 s restarted-box >/dev/null || fail "tavelo sim add failed"
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Tavelo\\Tavelo\\ViewSimuler]\n"LastStartedSimulator"="%s"\n"LastSelectedSimulator"="%s"\n' \
    "$sim" "$sim" >"$XDG_CONFIG_HOME/tavelo/settings.reg"
}

if [ "${TAVELO_XVFB_INNER:-}" = 1 ]; then
  # Inside the X server: run the program and drive it with xdotool. The
  # simulator that ran at the last exit serves as soon as the program starts.
  prepare_simulator
  start
  if [ -n "$sim_port" ]; then
    answer=""
    for _ in $(seq 20); do
      answer=$(snmpget -v2c -c tumbol -r 0 -t 1 "127.0.0.1:$sim_port" 1.3.6.1.2.1.1.5.0 2>/dev/null) && break
    done
    echo "$answer" | grep -q 'STRING: "restarted-box"' || { kill "$pid"; fail "no answer on port $sim_port: $answer"; }
  fi
  focus
  xdotool key --clearmodifiers ctrl+4
  sleep 0.5
  if [ -n "$screenshot" ] && command -v import >/dev/null; then
    import -window "$window" "$screenshot" || echo "no screenshot taken" >&2
  fi
  xdotool key --clearmodifiers alt+F4
  ends_after "Alt+F4"
  # Alt+F4 closes the simulator's port and keeps it recorded.
  if [ -n "$sim_port" ]; then
    snmpget -v2c -c tumbol -r 0 -t 1 "127.0.0.1:$sim_port" 1.3.6.1.2.1.1.5.0 >/dev/null 2>&1 &&
      fail "port $sim_port still answers after the program ended"
    grep -qF "\"LastStartedSimulator\"=\"$sim\"" "$XDG_CONFIG_HOME/tavelo/settings.reg" ||
      fail "LastStartedSimulator lost: $(cat "$XDG_CONFIG_HOME/tavelo/settings.reg")"
  fi
  # SIGTERM (logout, kill) closes the window as Alt+F4 does: checked there.
  (check_autostart) || exit 1
  exit 0
fi

# A build of only some targets (the TSan stage) has no program: skipped.
[ -x "$program" ] || { echo "SKIP: no program at $program"; exit 77; }
command -v xvfb-run >/dev/null || fail "xvfb-run is missing (scripts/install-deps.sh installs it)"
command -v xdotool >/dev/null || fail "xdotool is missing (scripts/install-deps.sh installs it)"
command -v ss >/dev/null || fail "ss is missing (scripts/install-deps.sh installs it)"
command -v snmptrap >/dev/null || fail "snmptrap is missing (scripts/install-deps.sh installs it)"

home=$(mktemp -d /tmp/tavelo-xvfb-XXXXXX)
trap 'rm -rf "$home"' EXIT
export HOME=$home/home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_DATA_DIRS=$home/share \
  XDG_STATE_HOME=$home/state XDG_RUNTIME_DIR=$home/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_DATA_DIRS" "$XDG_STATE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

TAVELO_XVFB_INNER=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$program" "$screenshot" || exit 1

settings=$XDG_CONFIG_HOME/tavelo/settings.reg
[ -f "$settings" ] || fail "no settings file at $settings"
grep -q '^"LastView"=dword:00000003' "$settings" || fail "LastView is not 3: $(cat "$settings")"
# The placement's bytes: the hex list after the name, over continued lines.
bytes=$(sed -n '/^"WindowPlacement"=hex:/,/[^\\]$/p' "$settings" | sed 's/^"WindowPlacement"=hex://; s/[\\ ]//g' |
  tr -d '\r\n' | tr ',' '\n' | grep -c .)
[ "$bytes" = 44 ] || fail "WindowPlacement holds $bytes bytes, not 44: $(cat "$settings")"
echo "OK: window shown, Ctrl+4 chose Simuler, Alt+F4 ended with 0, placement of $bytes bytes stored"
