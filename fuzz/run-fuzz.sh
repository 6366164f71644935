#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UBSan) in the
# given build folder and runs each for a bounded time.
#
#   fuzz/run-fuzz.sh BUILD_DIR [SECONDS_PER_TARGET]   (default 60)
#
# Every executable fuzz/<area>/fuzz_<name> is run; its seeds are read from
# fuzz/<area>/corpus/<name>/ when that folder exists (never written to: new
# inputs go to BUILD_DIR/fuzz-work/). A crash, leak, sanitizer report or
# time-out is a finding: its input is kept in BUILD_DIR/fuzz-artifacts/ and
# the script exits non-zero.
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [SECONDS_PER_TARGET]" >&2
  exit 2
fi
build=$(realpath -m "$1")
seconds=${2:-60}
source_dir=${TAVELO_SOURCE_DIR:-$(cd "$(dirname "$0")/.." && pwd)}
jobs=${TAVELO_JOBS:-2}

cmake -S "$source_dir" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
  -DTAVELO_SANITIZE=address,undefined -DTAVELO_FUZZ=ON -DTAVELO_BENCH=OFF >/dev/null

mapfile -t targets < <(ninja -C "$build" -t targets all | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\): .*/\1/p' | sort -u)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets found" >&2
  exit 1
fi
ninja -C "$build" -j"$jobs" "${targets[@]}"

mkdir -p "$build/fuzz-artifacts"
status=0
for target in "${targets[@]}"; do
  binary=$(find "$build/fuzz" -type f -name "$target" -perm -u+x | head -n 1)
  area=$(basename "$(dirname "$binary")")
  name=${target#fuzz_"$area"_}
  work="$build/fuzz-work/$target"
  mkdir -p "$work"
  corpora=("$work")
  seeds="$source_dir/fuzz/$area/corpus/$name"
  [ -d "$seeds" ] && corpora+=("$seeds")
  # Datagrams go up to the largest UDP payload; other inputs stay small.
  case "$area" in
    codec | simulator) max_len=65507 ;;
    *) max_len=4096 ;;
  esac
  echo "== $target for ${seconds}s (seeds: ${seeds}, inputs up to $max_len bytes)"
  if ! ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
      -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$target-" "${corpora[@]}" \
      >"$build/fuzz-work/$target.log" 2>&1; then
    echo "!! $target found a problem; log: $build/fuzz-work/$target.log" >&2
    tail -n 40 "$build/fuzz-work/$target.log" >&2
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done ' "$build/fuzz-work/$target.log" || true
  fi
done
exit $status
