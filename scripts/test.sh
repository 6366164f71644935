#!/usr/bin/env bash
# Sets up a fresh machine, builds and runs the tests.
#   scripts/test.sh                         all tests, normal build (build/)
#   scripts/test.sh --sanitize address,undefined   all tests under ASan+UBSan (build-address-undefined/)
#   scripts/test.sh --sanitize thread --targets "test_kit test_app"   only those test programs
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=""
targets=""
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize) sanitize="$2"; shift 2 ;;
    --targets) targets="$2"; shift 2 ;;
    *) echo "usage: $0 [--sanitize LIST] [--targets \"test_a test_b\"]" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh

build=build
bench=ON
if [ -n "$sanitize" ]; then
  build="build-${sanitize//,/-}"
  bench=OFF
fi
jobs=$(nproc)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVELO_SANITIZE="$sanitize" -DTAVELO_BENCH="$bench"
if [ -n "$targets" ]; then
  # shellcheck disable=SC2086
  cmake --build "$build" -j "$jobs" --target $targets
else
  cmake --build "$build" -j "$jobs"
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
# A test program that was not built shows up as a "<name>_NOT_BUILT" entry:
# with --targets only the built ones run, and not the tests that need the
# whole build (the installed tree, the workbench program).
exclude=()
[ -n "$targets" ] && exclude=(-E '_NOT_BUILT$|_install$|^workbench_')
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 300 "${exclude[@]}"
