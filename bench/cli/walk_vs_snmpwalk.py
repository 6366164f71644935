#!/usr/bin/env python3
"""Times `tavelo walk -v 1` against `snmpwalk -v1` of the same snmpd.

Both walk the agent's whole MIB with GetNext, as whole processes (start to
exit), output to /dev/null, in turns. Prints wall and CPU (user + system)
medians and the ratios tavelo / snmpwalk. With --instructions, also runs
each once under callgrind and compares the instructions they execute: a
count that a loaded machine does not disturb.

  bench/cli/walk_vs_snmpwalk.py [--tavelo build/cli/tavelo] [--rounds 7] [--instructions]
                                [--baseline OTHER/tavelo]

--baseline adds another tavelo build to the same turns (before and after a
change, under the same load).
"""
import argparse
import os
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def timed(args, env):
    """Wall and CPU seconds of one whole process, its output to /dev/null."""
    start = time.perf_counter()
    with open(os.devnull, "wb") as null:
        proc = subprocess.Popen(args, stdout=null, stderr=subprocess.PIPE, env=env)
        _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{args[0]} failed: {err.strip()}")
    return wall, usage.ru_utime + usage.ru_stime


def instructions(args, env, folder):
    """Instructions one whole process executes (all its threads), by callgrind."""
    out = os.path.join(folder, "callgrind.out")
    with open(os.devnull, "wb") as null:
        proc = subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}"] + args,
                              stdout=null, stderr=subprocess.PIPE, env=env)
    if proc.returncode != 0:
        sys.exit(f"callgrind of {args[0]} failed: {proc.stderr.decode(errors='replace').strip()}")
    for line in proc.stderr.decode(errors="replace").splitlines():
        if "Collected :" in line:
            return int(line.split(":")[-1].strip())
    sys.exit(f"callgrind of {args[0]} gave no count")


def start_snmpd(folder, env):
    for _ in range(3):
        port = free_udp_port()
        conf = os.path.join(folder, "snmpd.conf")
        with open(conf, "w") as f:
            f.write("rocommunity public 127.0.0.1\nsysDescr Tavelo walk benchmark\n")
        agent = subprocess.Popen(["snmpd", "-f", "-Lo", "-C", "-c", conf, f"udp:127.0.0.1:{port}"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        target = f"127.0.0.1:{port}"
        for _ in range(100):
            ok = subprocess.run(["snmpget", "-v1", "-c", "public", "-t", "0.1", "-r", "0", target, ".1.3.6.1.2.1.1.1.0"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env).returncode == 0
            if ok:
                return agent, target
            if agent.poll() is not None:
                break
        agent.terminate()
        agent.wait()
    sys.exit("snmpd did not start")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tavelo", default="build/cli/tavelo")
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--instructions", action="store_true", help="also count instructions with callgrind")
    parser.add_argument("--baseline", help="another tavelo build timed in the same turns")
    opt = parser.parse_args()
    if not shutil.which("snmpd") or not shutil.which("snmpwalk"):
        sys.exit("snmpd and snmpwalk are needed")

    with tempfile.TemporaryDirectory(prefix="tavelo-walk-bench-") as home:
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/config", XDG_DATA_HOME=home + "/data",
                   XDG_STATE_HOME=home + "/state", SNMPCONFPATH=home, SNMP_PERSISTENT_DIR=home + "/persist")
        agent, target = start_snmpd(home, env)
        try:
            count = subprocess.run(["snmpwalk", "-v1", "-c", "public", "-On", target, ".1"], env=env,
                                   capture_output=True, text=True).stdout.count("\n")
            commands = {
                "tavelo": [opt.tavelo, "walk", "-v", "1", "-c", "public", target],
                "snmpwalk": ["snmpwalk", "-v1", "-c", "public", target, ".1"],
            }
            if opt.baseline:
                commands["baseline"] = [opt.baseline] + commands["tavelo"][1:]
            times = {name: [] for name in commands}
            for name, args in commands.items():
                timed(args, env)  # warm the caches once
            for _ in range(opt.rounds):
                for name, args in commands.items():
                    times[name].append(timed(args, env))
            counts = {}
            if opt.instructions and shutil.which("valgrind"):
                # Under valgrind the agent's time-outs must allow for the slowdown.
                slow = {name: args[:-1] + ["-t", "30", target] for name, args in commands.items() if name != "snmpwalk"}
                slow["snmpwalk"] = ["snmpwalk", "-t", "30"] + commands["snmpwalk"][1:]
                counts = {name: instructions(args, env, home) for name, args in slow.items()}
        finally:
            agent.send_signal(signal.SIGTERM)
            agent.wait()

    med = {name: (statistics.median(w for w, _ in t), statistics.median(c for _, c in t)) for name, t in times.items()}
    print(f"whole-MIB GetNext walk of snmpd, {count} variables, {opt.rounds} rounds (medians)")
    for name, (wall, cpu) in med.items():
        print(f"  {name:9} wall {wall * 1000:8.1f} ms   cpu {cpu * 1000:8.1f} ms")
    ours = [name for name in med if name != "snmpwalk"]
    for name in ours:
        print(f"  ratio {name}/snmpwalk: wall {med[name][0] / med['snmpwalk'][0]:.2f}   "
              f"cpu {med[name][1] / med['snmpwalk'][1]:.2f}")
    if counts:
        for name, n in counts.items():
            print(f"  {name:9} instructions {n:,}")
        for name in ours:
            print(f"  ratio {name}/snmpwalk: instructions {counts[name] / counts['snmpwalk']:.2f}")


if __name__ == "__main__":
    main()
