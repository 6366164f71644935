#!/usr/bin/env bash
# Runs the layer check on small trees made here: a sound tree passes, and
# each deliberately wrong include or build line makes it fail and name the
# offending file and line.
#   check-layers-test.sh PATH/TO/check-layers.sh
set -uo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A sound tree: every folder uses only folders below it.
make_tree() {
  local tree=$1
  mkdir -p "$tree"/{quillog,kit,asn1,snmp,app,workers,smi,simulator,oidatlas/generator,setrig,cli,gui,tests/kit,bench/smi,fuzz/snmp,docs}
  echo '#pragma once' >"$tree/quillog/Quillog.h"
  printf '#include "kit/ZubThread.h"\n#include "quillog/Quillog.h"\n' >"$tree/kit/ZubThread.cpp"
  printf '#include "snmp/SnmpBase.h"\n#include <vector>\n' >"$tree/snmp/SnmpBase.cpp"
  printf '#include "workers/ThreadSnmp.h"\n#include "app/MessageCenter.h"\n' >"$tree/workers/ThreadSnmp.cpp"
  printf '#include "simulator/Engine.h"\n#include "workers/ThreadSnmp.h"\n' >"$tree/simulator/Engine.cpp"
  printf 'add_library(tavelo_simulator STATIC Engine.cpp)\n' >"$tree/simulator/CMakeLists.txt"
  printf '#include "oidatlas/OidAtlas.h"\n' >"$tree/oidatlas/OidAtlas.cpp"
  printf '#include "smi/SmiTree.h"\n#include "oidatlas/generator/Gen.h"\n' >"$tree/oidatlas/generator/Gen.cpp"
  printf '#include "kit/ZubFile.h"\n' >"$tree/setrig/Setrig.cpp"
  printf '#include "simulator/Engine.h"\n#include "oidatlas/OidAtlas.h"\n' >"$tree/cli/Cli.cpp"
  printf '#include <QtWidgets/QWidget>\n#include "smi/SmiTree.h"\n' >"$tree/gui/MainFrame.cpp"
  printf '#include "cli/Cli.h"\n#include "tests/common/LogCapture.h"\n' >"$tree/tests/kit/T.cpp"
  printf '#include "tests/common/TempDir.h"\n' >"$tree/bench/smi/B.cpp"
  printf '#include "simulator/Engine.h"\n' >"$tree/fuzz/snmp/F.cpp"
  printf '#include "gui/Nothing.h"\n' >"$tree/docs/example.cpp"
}

# case: name, expected exit status, expected piece of output, then a command
# that spoils (or keeps) the sound tree.
expect() {
  local name=$1 status=$2 piece=$3
  shift 3
  local tree="$work/$name"
  cp -r "$work/base" "$tree"
  (cd "$tree" && eval "$*")
  local out rc
  out=$("$check" "$tree" 2>&1)
  rc=$?
  if [ "$rc" -ne "$status" ]; then
    echo "FAIL $name: exit status $rc, expected $status; output:" >&2
    echo "$out" >&2
    failures=$((failures + 1))
  elif [ -n "$piece" ] && [[ "$out" != *"$piece"* ]]; then
    echo "FAIL $name: output lacks '$piece'; output:" >&2
    echo "$out" >&2
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

make_tree "$work/base"
expect sound-tree 0 "no include above its layer" true
expect kit-includes-simulator 1 'kit/Low.cpp:2: includes simulator/, above the layer of kit/' \
  "printf '#include <string>\n#include \"simulator/Engine.h\"\n' >kit/Low.cpp"
expect angle-include-upward 1 'asn1/A.h:1: includes workers/' \
  "printf '#include <workers/ThreadSnmp.h>\n' >asn1/A.h"
expect workers-include-simulator 1 'workers/ThreadSnmp.cpp:3: includes simulator/' \
  "printf '#include \"simulator/SimulatorEntry.h\"\n' >>workers/ThreadSnmp.cpp"
expect setrig-uses-codec 1 'setrig/Setrig.cpp:2: includes asn1/' \
  "printf '#include \"asn1/Asn1Oid.h\"\n' >>setrig/Setrig.cpp"
expect oidatlas-library-uses-smi 1 'oidatlas/OidAtlas.cpp:2: includes smi/' \
  "printf '#include \"smi/SmiTree.h\"\n' >>oidatlas/OidAtlas.cpp"
expect gui-uses-cli 1 'gui/MainFrame.cpp:3: includes cli/' \
  "printf '#include \"cli/Cli.h\"\n' >>gui/MainFrame.cpp"
expect indented-include 1 'smi/S.cpp:1: includes workers/' \
  "printf '  #  include \"workers/ThreadSnmp.h\"\n' >smi/S.cpp"
expect grammar-file 1 'smi/SmiGrammar.y:1: includes simulator/' \
  "printf '#include \"simulator/Engine.h\"\n' >smi/SmiGrammar.y"
expect cmake-builds-other-folder 1 'simulator/CMakeLists.txt:2: builds sources of workers/' \
  "printf 'set(x \${PROJECT_SOURCE_DIR}/workers/Engine.cpp)\n' >>simulator/CMakeLists.txt"
expect cmake-relative-path 1 'cli/CMakeLists.txt:1: builds sources of smi/' \
  "printf 'add_library(c ../smi/SmiTree.cpp)\n' >cli/CMakeLists.txt"
expect folder-without-layer 1 'extra/: a folder with sources but no line in the layer table' \
  "mkdir extra && echo 'int x;' >extra/x.cpp"
expect sibling-layers-apart 1 'smi/SmiTree.cpp:1: includes workers/' \
  "printf '#include \"workers/ThreadSnmp.h\"\n' >smi/SmiTree.cpp"

if [ "$failures" -gt 0 ]; then
  echo "$failures case(s) failed" >&2
  exit 1
fi
echo "all cases passed"
