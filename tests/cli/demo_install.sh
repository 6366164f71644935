#!/bin/sh
# Installs the build into a temporary prefix; with no simulator folder of the
# user's or the machine's, the installed tavelo must find the demo simulator
# by its name (the program's own, legacy folder) and serve it to snmpget.
set -u
build=$1
work=$(mktemp -d)
pid=
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

. "$(dirname "$0")/../common/install_prefix.sh"
. "$(dirname "$0")/../common/free_udp_port.sh"
install_into_prefix "$build"

demo="$work/prefix/share/tavelo/Simulators/Demo.tav"
[ -f "$demo" ] || fail "no $demo"
tavelo="$work/prefix/bin/tavelo"
[ -x "$work/prefix/bin/tavelo-workbench" ] || fail "no tavelo-workbench beside tavelo"
community=$("$tavelo" sim show "$demo" | sed -n 's/^# .*, community \([^,]*\),.*/\1/p')
[ -n "$community" ] || fail "no community in the demo"

port=$(free_udp_port) || fail "no free UDP port"

"$tavelo" simulate -p "$port" -a 127.0.0.1 Demo >"$work/out" 2>&1 &
pid=$!
answer=
for _ in $(seq 50); do
  answer=$(snmpget -v2c -c "$community" -r 0 -t 1 -Oqv "127.0.0.1:$port" .1.3.6.1.2.1.1.1.0 2>/dev/null) && break
  kill -0 "$pid" 2>/dev/null || { cat "$work/out"; fail "tavelo simulate Demo ended"; }
  sleep 0.2
done
expected=$(sed -n 's/^\.1\.3\.6\.1\.2\.1\.1\.1\.0 = STRING: //p' "$(dirname "$0")/../../cli/demo/demo.walk")
[ "$answer" = "$expected" ] || { cat "$work/out"; fail "sysDescr.0 is '$answer', not $expected"; }
echo "ok: Demo served from $demo"
