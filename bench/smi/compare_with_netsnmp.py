#!/usr/bin/env python3
"""Compares the names and OIDs our loader gives with Net-SNMP's.

    compare_with_netsnmp.py --tool BUILD/bench/smi/smi_load_tool --dir MIBDIR [--list FILE]

Net-SNMP: snmptranslate -M MIBDIR -m ALL -Tz (or -m with the listed
modules). Ours: smi_load_tool --objects --keep-going MIBDIR (the listed
modules, or every module of the folder) in one load; a module that fails is
skipped. Prints the share of Net-SNMP's
(name, OID) pairs that we have, and the pairs we miss (name, their OID, the
OIDs we give that name).
"""
import argparse
import collections
import subprocess
import sys


def netsnmp_pairs(directory, modules):
    spec = ":".join(modules) if modules else "ALL"
    out = subprocess.run(["snmptranslate", "-M", directory, "-m", spec, "-Tz"],
                         capture_output=True, text=True, errors="replace").stdout
    pairs = set()
    for line in out.splitlines():
        parts = [p.strip('"') for p in line.split("\t") if p]
        if len(parts) == 2:
            pairs.add((parts[0], parts[1]))
    return pairs


def our_pairs(tool, directory, list_file):
    args = [tool, "--objects", "--keep-going"]
    if list_file:
        args.append("--list=" + list_file)
    args.append(directory)
    run = subprocess.run(args, capture_output=True, text=True, errors="replace")
    sys.stderr.write(run.stderr.splitlines()[-1] + "\n" if run.stderr else "")
    pairs = set()
    for line in run.stdout.splitlines():
        oid, _, name = line.partition(" ")
        if name:
            pairs.add((name, oid))
    return pairs


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--list")
    parser.add_argument("--show", type=int, default=40, help="missed pairs to print")
    args = parser.parse_args()
    modules = []
    if args.list:
        with open(args.list) as f:
            modules = [line.strip() for line in f if line.strip()]
    theirs = netsnmp_pairs(args.dir, modules)
    ours = our_pairs(args.tool, args.dir, args.list)
    by_name = collections.defaultdict(set)
    for name, oid in ours:
        by_name[name].add(oid)
    missed = sorted(theirs - ours, key=lambda p: p[1])
    found = len(theirs) - len(missed)
    share = 100.0 * found / len(theirs) if theirs else 0.0
    print(f"net-snmp pairs: {len(theirs)}  ours: {len(ours)}  found: {found}  ({share:.2f}%)")
    no_name = sum(1 for name, _ in missed if name not in by_name)
    print(f"missed: {len(missed)}  (name unknown to us: {no_name}, name at another OID: {len(missed) - no_name})")
    for name, oid in missed[: args.show]:
        print(f"  {name} {oid}  ours: {' '.join(sorted(by_name.get(name, []))[:3]) or '-'}")
    return 0 if share >= 99.0 else 1


if __name__ == "__main__":
    sys.exit(main())
