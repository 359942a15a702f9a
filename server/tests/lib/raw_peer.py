"""One status exchange as a monitor makes it, on 127.0.0.1: read the greeting,
send the 2048-byte message (the record, its zero byte, then the extension and
its zero byte when one is given, then zero bytes), print the reply byte
("none" when the server closes without one). Each step has a 10 s limit.

Usage: raw_peer.py PORT RECORD [EXTENSION]
"""
import socket
import sys

MESSAGE_SIZE = 2048


def main():
    port, record = int(sys.argv[1]), sys.argv[2]
    message = record.encode("latin-1") + b"\0"
    if len(sys.argv) > 3:
        message += sys.argv[3].encode("latin-1") + b"\0"
    with socket.create_connection(("127.0.0.1", port), timeout=10) as peer:
        peer.recv(MESSAGE_SIZE)
        peer.sendall(message.ljust(MESSAGE_SIZE, b"\0"))
        reply = peer.recv(1)
    print(reply[0] if reply else "none")


if __name__ == "__main__":
    main()
