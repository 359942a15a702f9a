"""Peers of the companion port from chosen loopback source addresses (all of
127.0.0.0/8 is loopback on Linux), for limits_test.sh: silent connections,
status exchanges as a monitor makes them, and the server's API.
"""
import json
import socket
import urllib.request

PORT = 25876
MESSAGE_SIZE = 2048
IP_BIND_ADDRESS_NO_PORT = getattr(socket, "IP_BIND_ADDRESS_NO_PORT", 24)


def connect(source, timeout=10):
    """A connection to the companion port from `source`."""
    peer = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    # The port is chosen at connect(), so thousands of connections from one
    # address do not run out of ports.
    peer.setsockopt(socket.IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, 1)
    peer.settimeout(timeout)
    peer.bind((source, 0))
    peer.connect(("127.0.0.1", PORT))
    return peer


def greeted(peer):
    """True when the server greets the connection, False when it closes it."""
    try:
        return peer.recv(MESSAGE_SIZE) != b""
    except ConnectionResetError:
        return False


def record(cpu, count=1, user="Flooder"):
    return "%d %d 50 p18213_R0_C12_G34 0 2400.000000 GenuineIntel 0xa8 100 61000 %s 1 0" % (
        cpu, count, user)


def exchange(source, text):
    """One exchange: the reply byte, or None when the server closes without
    one (a dropped record) or refuses the connection."""
    with connect(source) as peer:
        if not greeted(peer):
            return None
        peer.sendall(text.encode("latin-1").ljust(MESSAGE_SIZE, b"\0"))
        try:
            reply = peer.recv(1)
        except ConnectionResetError:
            return None
    return reply[0] if reply else None


def api(web, path):
    with urllib.request.urlopen("http://%s%s" % (web, path), timeout=10) as answer:
        return json.load(answer)


def machines(web):
    return {m["id"]: m for m in api(web, "/api/machines")}
