# Sourced by the shell tests: prints a UDP port on 127.0.0.1 that was free a
# moment ago.
free_udp_port() {
  python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
