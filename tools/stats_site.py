#!/usr/bin/env python3
"""stats_site: a stand-in for the team statistics site, for trying the
monitor's submissions by hand and for the end-to-end tests.

It prints each request line with its Host and User-Agent headers and
answers every GET with the chosen status and body.

  stats_site.py [--address ADDR] [--port N] [--status CODE]
                [--body TEXT | --body-file FILE] [--count N] [--log FILE]

--port 0 takes any free port; the "listening on" line names it. Requests
sent through it as an HTTP proxy (absolute URL in the request line, as a
client with http_proxy=http://127.0.0.1:PORT sends them) are answered and
logged alike, with the absolute URL as the path.

--log appends one JSON object per request (request line, path, host, user
agent, status sent). --count stops after N requests.

Python 3 standard library only.
"""

import argparse
import http.server
import json
import signal
import sys


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--status", type=int, default=200)
    body = parser.add_mutually_exclusive_group()
    body.add_argument("--body", default="<html><body>Vantor: unit received</body></html>\n")
    body.add_argument("--body-file", default=None, metavar="FILE")
    parser.add_argument("--count", type=int, default=0,
                        help="stop after N requests (0: run until stopped)")
    parser.add_argument("--log", default=None, metavar="FILE")
    return parser.parse_args(argv)


def make_handler(options, body):
    class Handler(http.server.BaseHTTPRequestHandler):
        server_version = "Vantor/1.0"
        timeout = 15  # a client that stalls is dropped

        def do_GET(self):
            entry = {
                "request_line": self.requestline,
                "path": self.path,
                "host": self.headers.get("Host"),
                "user_agent": self.headers.get("User-Agent"),
                "status": options.status,
            }
            print("%s\n    Host: %s\n    User-Agent: %s\n    answered %d" % (
                self.requestline, entry["host"], entry["user_agent"], options.status), flush=True)
            if options.log:
                with open(options.log, "a", encoding="utf-8") as log:
                    log.write(json.dumps(entry, sort_keys=True) + "\n")
            self.send_response(options.status)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, format, *args):
            pass  # do_GET prints what matters

    return Handler


def main(argv):
    options = parse_arguments(argv)
    if options.body_file:
        with open(options.body_file, "rb") as file:
            body = file.read()
    else:
        body = options.body.encode("utf-8")
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    server = http.server.HTTPServer((options.address, options.port), make_handler(options, body))
    # The bound port, so that --port 0 (any free port) tells its caller where to connect.
    print("listening on %s:%d" % server.server_address[:2], flush=True)
    served = 0
    try:
        while options.count == 0 or served < options.count:
            server.handle_request()
            served += 1
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
