#!/usr/bin/env python3
"""A loopback peer that accepts connections and never answers: a companion
server that sends no greeting and no reply, or a statistics site that sends
no response. For each connection, once the other side closes or the time
limit passes, it appends one JSON line with the received text up to the
first zero byte (the status record, or the request line).

  quiet_peer.py --port N --log FILE [--timeout S]
"""

import argparse
import json
import socket
import threading
import time


def serve(connection, options, number):
    data = b""
    deadline = time.monotonic() + options.timeout
    with connection:
        while time.monotonic() < deadline and len(data) < 65536:
            connection.settimeout(max(deadline - time.monotonic(), 0.01))
            try:
                piece = connection.recv(4096)
            except OSError:
                break
            if not piece:
                break
            data += piece
    text = data.split(b"\0", 1)[0].split(b"\r\n", 1)[0].decode("latin-1")
    with open(options.log, "a", encoding="utf-8") as log:
        log.write(json.dumps({"connection": number, "bytes": len(data), "text": text}) + "\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--timeout", type=float, default=60.0)
    options = parser.parse_args()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", options.port))
    listener.listen(8)
    print("listening on 127.0.0.1:%d" % options.port, flush=True)
    number = 0
    while True:
        connection, _ = listener.accept()
        number += 1
        print("connection %d" % number, flush=True)
        threading.Thread(target=serve, args=(connection, options, number), daemon=True).start()


if __name__ == "__main__":
    main()
