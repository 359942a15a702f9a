#!/usr/bin/env python3
"""companion_server: a stand-in for the companion server, for trying the
monitor by hand and for the end-to-end tests.

For each connection it sends a greeting, receives the monitor's 2048-byte
message, prints the status record it carries (the text up to the first zero
byte, split into its thirteen fields) and answers with one command byte:
0 nothing, 1 stop the monitor, 2 switch window and tray, 3 restart the
client's service.

  companion_server.py [--address ADDR] [--port N] [--reply R | --script R,R,...]
                      [--stop-on TEXT] [--silent | --close-early]
                      [--greeting TEXT] [--greeting-size N] [--count N]
                      [--log FILE] [--timeout S]

--script gives the reply of each connection in turn; once it is used up,
--reply answers. --stop-on answers 1 to the first record whose text holds
TEXT. --log appends one JSON object per connection. Every wait on a
connection ends after --timeout seconds.

Python 3 standard library only.
"""

import argparse
import json
import signal
import socket
import sys
import time

MESSAGE_SIZE = 2048
FIELD_NAMES = (
    "cpu_number", "unit_count", "progress_percent", "unit_name", "monitor_closing",
    "cpu_mhz", "cpu_vendor", "core_name", "unit_frames", "unit_points", "user_name",
    "team_number", "tray_mode",
)


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--address", default="0.0.0.0")
    parser.add_argument("--port", type=int, default=25876)
    parser.add_argument("--reply", type=int, default=0,
                        help="command byte 0-255 (0, 1, 2, 3 mean something)")
    parser.add_argument("--script", default="",
                        help="comma-separated replies, one per connection")
    parser.add_argument("--stop-on", default=None, metavar="TEXT",
                        help="answer 1 to the first record that contains TEXT")
    mode = parser.add_mutually_exclusive_group()
    mode.add_argument("--silent", action="store_true",
                      help="accept, then say nothing until the monitor gives up")
    mode.add_argument("--close-early", action="store_true",
                      help="accept and close at once")
    parser.add_argument("--greeting", default="Dornhelm companion server ready")
    parser.add_argument("--greeting-size", type=int, default=None, metavar="N",
                        help="send a greeting of exactly N bytes (1-2048)")
    parser.add_argument("--count", type=int, default=0,
                        help="stop after N connections (0: run until stopped)")
    parser.add_argument("--log", default=None, metavar="FILE")
    parser.add_argument("--timeout", type=float, default=15.0,
                        help="longest wait on one connection, in seconds")
    options = parser.parse_args(argv)
    for value in [options.reply] + script_values(options.script, parser):
        if not 0 <= value <= 255:
            parser.error("a reply is one byte: 0 to 255")
    if options.greeting_size is not None and not 1 <= options.greeting_size <= MESSAGE_SIZE:
        parser.error("--greeting-size must be 1 to 2048")
    return options


def script_values(text, parser=None):
    try:
        return [int(part) for part in text.split(",") if part.strip() != ""]
    except ValueError:
        if parser is not None:
            parser.error("--script takes comma-separated numbers")
        raise


def greeting_bytes(options):
    text = options.greeting.encode("latin-1", "replace")
    if options.greeting_size is None:
        return text
    # A long greeting shows up as a tail behind the record in the message.
    filler = (text + b" ") * (options.greeting_size // (len(text) + 1) + 1)
    return filler[:options.greeting_size]


def receive_message(connection, deadline):
    data = b""
    while len(data) < MESSAGE_SIZE:
        left = deadline - time.monotonic()
        if left <= 0:
            break
        connection.settimeout(left)
        try:
            piece = connection.recv(MESSAGE_SIZE - len(data))
        except (socket.timeout, OSError):
            break
        if not piece:
            break
        data += piece
    return data


def await_close(connection, deadline):
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            return
        connection.settimeout(left)
        try:
            if not connection.recv(4096):
                return
        except (socket.timeout, OSError):
            return


def describe(message):
    record = message.split(b"\0", 1)[0].decode("latin-1")
    parts = record.split(" ")
    fields = dict(zip(FIELD_NAMES, parts)) if len(parts) == len(FIELD_NAMES) else None
    tail = message[len(record) + 1:] if len(record) < len(message) else b""
    return record, fields, len(tail.rstrip(b"\0"))


def extension_of(message):
    """Our own server's extension right behind the record's zero byte, or ''."""
    tail = message.split(b"\0", 1)[1] if b"\0" in message else b""
    return tail.split(b"\0", 1)[0].decode("latin-1") if tail.startswith(b"VGX1") else ""


class Server:
    def __init__(self, options):
        self.options = options
        self.script = script_values(options.script)
        self.stop_sent = False
        self.connections = 0
        self.log = open(options.log, "a", encoding="utf-8") if options.log else None

    def reply_for(self, record):
        if self.options.stop_on is not None and not self.stop_sent and self.options.stop_on in record:
            self.stop_sent = True
            return 1
        if self.connections <= len(self.script):
            return self.script[self.connections - 1]
        return self.options.reply

    def note(self, entry):
        line = json.dumps(entry, sort_keys=True)
        if self.log:
            self.log.write(line + "\n")
            self.log.flush()

    def handle(self, connection, peer):
        self.connections += 1
        entry = {"connection": self.connections, "peer": "%s:%d" % peer}
        deadline = time.monotonic() + self.options.timeout
        if self.options.close_early:
            print("connection %d from %s:%d: closed at once" % (self.connections, *peer), flush=True)
            entry["mode"] = "close-early"
            self.note(entry)
            return
        if self.options.silent:
            print("connection %d from %s:%d: staying silent" % (self.connections, *peer), flush=True)
            await_close(connection, deadline)
            entry["mode"] = "silent"
            self.note(entry)
            return
        try:
            connection.settimeout(self.options.timeout)
            connection.sendall(greeting_bytes(self.options))
        except OSError as error:
            entry["greeting_error"] = str(error)
        message = receive_message(connection, deadline)
        record, fields, tail = describe(message)
        reply = self.reply_for(record)
        entry.update({"bytes": len(message), "record": record, "fields": fields,
                      "tail_bytes": tail, "extension": extension_of(message), "reply": reply})
        try:
            connection.sendall(bytes([reply]))
        except OSError as error:
            entry["reply_error"] = str(error)  # a final record's sender is gone already
        print("record %d from %s:%d (%d bytes): %s" % (self.connections, peer[0], peer[1],
                                                       len(message), record), flush=True)
        if fields is not None:
            for name in FIELD_NAMES:
                print("    %-17s %s" % (name, fields[name]), flush=True)
        else:
            print("    (not thirteen fields)", flush=True)
        print("    reply %d" % reply, flush=True)
        self.note(entry)
        await_close(connection, deadline)

    def run(self):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind((self.options.address, self.options.port))
        listener.listen(8)
        print("listening on %s:%d" % (self.options.address, self.options.port), flush=True)
        try:
            while self.options.count == 0 or self.connections < self.options.count:
                connection, peer = listener.accept()
                with connection:
                    self.handle(connection, peer)
        finally:
            listener.close()
            if self.log:
                self.log.close()


def main(argv):
    options = parse_arguments(argv)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        Server(options).run()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
