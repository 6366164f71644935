#!/bin/sh
# Installs the build into a temporary prefix, then the installed tavelo must
# list every shipped module in its legacy MIB folder and load each one,
# with no MIB folder of the user's or the machine's in the way.
set -u
build=$1
source_mibs=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

. "$(dirname "$0")/../common/install_prefix.sh"
install_into_prefix "$build"

legacy="$work/prefix/share/tavelo/Mibs"
expected=$(cd "$source_mibs" && ls *.mib | sed 's/\.mib$//' | sort)
[ -n "$expected" ] || fail "no module in $source_mibs"
installed=$(cd "$legacy" 2>/dev/null && ls *.mib | sed 's/\.mib$//' | sort)
[ "$installed" = "$expected" ] || fail "legacy folder $legacy holds: $installed"

tavelo="$work/prefix/bin/tavelo"
# Each module alone: it and its imports come from the legacy folder only.
for module in $expected; do
  if ! "$tavelo" mib load --tsv "$module" >"$work/out" 2>"$work/err"; then
    cat "$work/err"; fail "$module does not load"
  fi
  [ -s "$work/err" ] && { cat "$work/err"; fail "$module: messages while loading"; }
done
# All together, and the objects come from the legacy folder's files.
"$tavelo" mib load --tsv $expected >"$work/out" 2>"$work/err" || { cat "$work/err"; fail "the whole set does not load"; }
grep -q "^1.3.6.1.2.1.2.2.1.2	ifDescr	" "$work/out" || fail "ifDescr missing from the loaded set"
grep -q "^1.3.6.1.2.1.1.1	sysDescr	" "$work/out" || fail "sysDescr missing from the loaded set"
echo "ok: $(echo "$expected" | wc -l) modules"
