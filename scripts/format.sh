#!/usr/bin/env bash
# Formats the C++ sources with clang-format 14 and the project's .clang-format.
#   scripts/format.sh [--check] [FILE...]
# Without files: every *.h and *.cpp under the source folders (build folders,
# docs, scripts and MIB modules are left out; the OID atlas table in
# oidatlas/data is data, not C++). --check rewrites nothing: it lists the
# files that are not formatted and exits 1 when there is one.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 2

check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
fi

tool=${CLANG_FORMAT:-}
if [ -z "$tool" ]; then
  tool=clang-format-14
  command -v "$tool" >/dev/null || tool=clang-format
fi
if ! command -v "$tool" >/dev/null; then
  echo "format.sh: $tool not found (Debian package clang-format; scripts/install-deps.sh installs it)" >&2
  exit 2
fi
# Another major version formats some lines differently.
if ! "$tool" --version | grep -q 'version 14\.'; then
  echo "format.sh: $tool is not clang-format 14: $("$tool" --version)" >&2
  exit 2
fi

files=()
if [ $# -gt 0 ]; then
  for f in "$@"; do
    case "$f" in *.h | *.cpp) [ -f "$f" ] && files+=("$f") ;; esac
  done
else
  mapfile -t files < <(
    find . -mindepth 1 \( -path './build*' -o -path './.git' -o -path './docs' -o -path './scripts' \
      -o -path './mibs' -o -path './oidatlas/data' \) -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) -print |
      sed 's|^\./||' | LC_ALL=C sort
  )
fi
[ ${#files[@]} -eq 0 ] && exit 0

if [ "$check" -eq 0 ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -n 50 -P 2 "$tool" -i --style=file
  exit $?
fi

# --dry-run names each file that would change in its first warning line (one
# process at a time: parallel ones would interleave their lines).
mapfile -t bad < <(
  printf '%s\0' "${files[@]}" | xargs -0 -n 100 "$tool" --style=file --dry-run --ferror-limit=1 2>&1 |
    sed -n 's/^\(.*\):[0-9]*:[0-9]*: \(warning\|error\): code should be clang-formatted.*/\1/p' | LC_ALL=C sort -u
)
unformatted=${#bad[@]}
[ "$unformatted" -gt 0 ] && printf '%s\n' "${bad[@]}"
if [ "$unformatted" -gt 0 ]; then
  echo "format.sh: $unformatted file(s) not formatted; run scripts/format.sh" >&2
  exit 1
fi
echo "format: ${#files[@]} files formatted"
