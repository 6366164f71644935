#!/usr/bin/env bash
# Sets up a fresh machine, builds the programs and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
# With a display, the workbench's window; without one, the command-line demo.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/gui/tavelo-workbench ]; then
  exec build/gui/tavelo-workbench "$@"
fi
if [ -x build/cli/tavelo ]; then
  exec build/cli/tavelo demo "$@"
fi
echo "Built. The tavelo program is not part of this build yet."
