# Sourced by the shell tests: prints a UDP port that was free a moment ago on
# every local address. It is taken below the kernel's ephemeral range, so
# that the clients other tests start meanwhile (snmpget, snmptrap...) cannot
# be given it before the program under test binds it.
free_udp_port() {
  python3 - <<'PY'
import random, socket
low = int(open("/proc/sys/net/ipv4/ip_local_port_range").read().split()[0])
for _ in range(200):
    port = random.randrange(10000, max(low, 10001))
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        s.bind(("", port))
    except OSError:
        continue
    finally:
        s.close()
    print(port)
    break
PY
}
