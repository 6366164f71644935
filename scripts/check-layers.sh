#!/usr/bin/env bash
# Fails when a source file includes a folder above its own layer, or when a
# folder's CMakeLists.txt builds another folder's sources.
#   scripts/check-layers.sh [ROOT]     (ROOT: the source tree, default: this one)
# The table below is the layer picture of docs/architecture.md.
set -uo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root" || exit 2

# folder: the folders its files may include besides its own. Every top-level
# folder with sources needs a line; "any" means any folder (tests,
# benchmarks, fuzz targets). A sub-folder listed here is judged apart from
# its parent.
layers='
quillog:
kit: quillog
asn1: kit quillog
app: kit quillog
snmp: asn1 kit quillog
smi: app kit quillog
workers: snmp asn1 app kit quillog
simulator: workers snmp asn1 app kit quillog
oidatlas:
oidatlas/generator: oidatlas smi app kit quillog
setrig: kit quillog
cli: simulator workers smi snmp asn1 app kit oidatlas quillog
gui: simulator workers smi snmp asn1 app kit oidatlas quillog
tests: any
bench: any
fuzz: any
'

sources=(--include='*.cpp' --include='*.h' --include='*.y' --include='*.l')
errors=0

# Top-level folders holding sources; each must have a line in the table.
dirs=()
for dir in */; do
  dir=${dir%/}
  case "$dir" in build* | docs | scripts) continue ;; esac
  grep -rlq "${sources[@]}" -e '' -- "$dir" 2>/dev/null || continue
  if ! grep -qE "^$dir:" <<<"$layers"; then
    echo "$dir/: a folder with sources but no line in the layer table of scripts/check-layers.sh" >&2
    errors=$((errors + 1))
    continue
  fi
  dirs+=("$dir")
done

# Reads "file:line:text" and judges the folder the text names. $2 of the
# table lines: the folders allowed. mode "include" or "cmake".
judge='
BEGIN {
  n = split(table, rows, "\n")
  for (i = 1; i <= n; i++) {
    if (rows[i] !~ /:/) continue
    folder = rows[i]; sub(/:.*/, "", folder)
    uses = rows[i]; sub(/^[^:]*:/, "", uses)
    allowed[folder] = " " uses " "
    top = folder; sub(/\/.*/, "", top)
    known[top] = 1
  }
}
{
  file = $0; sub(/:.*/, "", file)
  rest = substr($0, length(file) + 2)
  line = rest; sub(/:.*/, "", line)
  text = substr(rest, length(line) + 2)
  owner = ""
  for (folder in allowed)
    if (index(file, folder "/") == 1 && length(folder) > length(owner)) owner = folder
  top = owner; sub(/\/.*/, "", top)
  if (mode == "include") {
    if (!match(text, /["<][A-Za-z0-9_]+\//)) next
    target = substr(text, RSTART + 1, RLENGTH - 2)
    if (!(target in known) || target == top) next
    if (index(allowed[owner], " any ") || index(allowed[owner], " " target " ")) next
    printf "%s:%s: includes %s/, above the layer of %s/ (see docs/architecture.md)\n", file, line, target, owner
  } else {
    while (match(text, /(\$\{(PROJECT_SOURCE_DIR|CMAKE_SOURCE_DIR)\}\/|\.\.\/)[A-Za-z0-9_]+\//)) {
      target = substr(text, RSTART, RLENGTH - 1); sub(/.*[\/}]/, "", target)
      text = substr(text, RSTART + RLENGTH)
      if (!(target in known) || target == top) continue
      printf "%s:%s: builds sources of %s/, which belong to the library of that folder\n", file, line, target
    }
  }
}'

report=$(
  if [ ${#dirs[@]} -gt 0 ]; then
    grep -rnE "${sources[@]}" '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][A-Za-z0-9_]+/' -- "${dirs[@]}" |
      awk -v table="$layers" -v mode=include "$judge"
    libraries=()
    for dir in "${dirs[@]}"; do
      case "$dir" in tests | bench | fuzz) ;; *) libraries+=("$dir") ;; esac
    done
    [ ${#libraries[@]} -gt 0 ] &&
      grep -rnE --include=CMakeLists.txt '(PROJECT_SOURCE_DIR|CMAKE_SOURCE_DIR)\}/|\.\./' -- "${libraries[@]}" |
      awk -v table="$layers" -v mode=cmake "$judge"
  fi
)
if [ -n "$report" ]; then
  echo "$report" >&2
  errors=$((errors + $(wc -l <<<"$report")))
fi

if [ "$errors" -gt 0 ]; then
  echo "$errors layer error(s)" >&2
  exit 1
fi
echo "layers: ${#dirs[@]} folders checked, no include above its layer"
