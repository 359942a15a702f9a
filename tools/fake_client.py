#!/usr/bin/env python3
"""fake_client: a stand-in for today's Folding@home client (v8) and its local
WebSocket API, for trying the monitor by hand (clapi 127.0.0.1:PORT in
vigilon.ini) and for the end-to-end tests.

Like the client it serves ws://ADDR:PORT/api/websocket: a peer gets the
whole state first (one JSON object: info, config, groups, units), then
every change as a JSON array, a path of keys and list indices followed by
the value (["units", 0, "wu_progress", 0.437]; index -1 appends the value,
-2 each element of it; null deletes). After --ping-interval seconds without
other traffic it sends the JSON string "ping". A request with an Origin
header is refused (401), any other path than /api/websocket too (404).
Commands the peer sends ({"cmd": "state", "state": "pause"}, also "fold"
and "finish") are printed and acted on.

  fake_client.py [--address ADDR] [--port N] [--state FILE] [--script FILE]
                 [--mode api|silent|http] [--demo SECONDS] [--ping-interval S]

--state FILE: the initial state (JSON); by default one unit of project 18213
(R0 C12 G34, core 0xa8, credit 12345.6, number 7) running at 12.5% in the
default group "".

--script FILE: JSON lines played to each connection after the state:
  ["units", 0, "state", "UPLOAD"]   a change, sent and applied to the state
                                    here, so a peer that connects again
                                    gets the current whole state
  {"sleep": 1.5}                    wait
  {"raw": "TEXT"}                   send TEXT as it is (malformed JSON too)
  {"big": N}                        send a text message of N bytes
  {"ping": true}                    send "ping"
  {"disconnect": true}              close this connection
  {"exit": true}                    stop the client

--mode silent accepts connections and never answers the handshake; --mode
http answers anything with a plain HTTP 200 and a text body.

--demo SECONDS runs a live client: the running unit moves on in twenty steps
and every SECONDS it finishes (UPLOAD, then removed) while the next one (the
next number, another run, clone and gen, every third unit another project)
goes from DOWNLOAD to RUN.

Output, one line each, flushed: "listening on PORT" once ready,
"connection N opened" / "connection N closed", "command {...}" for each
command received (keys sorted), "message TEXT" for other text received,
"refused: ..." for a refused request, and "change not applied here: ..."
for a scripted change that does not fit the state (it is sent all the same).

Needs the websockets package (Debian 12: python3-websockets, run with
/usr/bin/python3).
"""

import argparse
import asyncio
import base64
import copy
import hashlib
import http
import json
import logging
import random
import signal
import sys

import websockets

API_PATH = "/api/websocket"
MESSAGE_LIMIT = 1 << 20
DEMO_STEPS = 20
# Projects of the demo: project, core type, base credit.
PROJECTS = ((18213, "0xa8", 12345.6), (18494, "0xa8", 9020.0), (12271, "0x22", 51840.0))
UNIT_SECONDS = 3 * 3600  # the nominal run time behind eta and ppd outside the demo


def unit_id(number):
    # Long and random-looking like the client's ids, but the same for the same
    # number, so that a client started again offers the same unit.
    digest = hashlib.sha256(b"vigilon fake unit %d" % number).digest()
    return base64.urlsafe_b64encode(digest).decode().rstrip("=")


def eta_text(seconds):
    """The client's way of writing a time interval."""
    if seconds > 86400:
        return "%0.2f days" % (seconds / 86400)
    whole = int(seconds)
    if seconds > 3600:
        return "%d hours %02d mins" % (whole // 3600, whole % 3600 // 60)
    if seconds > 60:
        return "%d mins %02d secs" % (whole // 60, whole % 60)
    return "%0.2f secs" % seconds


def make_unit(number, project, core, credit, run, clone, gen, state="RUN", progress=0.0,
              unit_seconds=UNIT_SECONDS):
    return {
        "id": unit_id(number),
        "number": number,
        "group": "",
        "state": state,
        "paused": False,
        "cpus": 4,
        "gpus": [],
        "assignment": {
            "project": project,
            "core": {"type": core, "version": "0.0.20"},
            "credit": credit,
            "time": "2026-12-07T08:00:00Z",
            "deadline": 259200,
            "timeout": 86400,
            "cpus": 4,
        },
        "wu": {"run": run, "clone": clone, "gen": gen},
        "progress": 0,
        "wu_progress": progress,
        "eta": eta_text(unit_seconds * (1 - progress)),
        "ppd": int(credit / unit_seconds * 86400),
    }


def default_state():
    return {
        "info": {"version": "8.4.9", "os": "linux", "os_version": "Debian 12", "cpu": "x86_64",
                 "cpus": 4, "hostname": "folder", "id": "vigilon-fake-client-0001"},
        "config": {"user": "TomJ", "team": 33, "passkey": "", "cause": "any"},
        "groups": {"": {"config": {"cpus": 4, "paused": False, "finish": False}, "state": "run"}},
        "units": [make_unit(7, 18213, "0xa8", 12345.6, 0, 12, 34, progress=0.125)],
    }


def apply_change(state, change):
    """Applies one change array to the state as the client's peers do;
    raises on a change that does not fit the state."""
    if not isinstance(change, list) or len(change) < 2:
        raise ValueError("not a change")
    *path, value = change
    target = state
    for key, following in zip(path, path[1:]):
        empty = [] if isinstance(following, int) else {}
        if isinstance(target, dict):
            target = target.setdefault(key, empty)
        elif key == -1:
            target.append(empty)
            target = target[-1]
        else:
            target = target[key]
    key = path[-1]
    if isinstance(target, dict):
        if value is None:
            target.pop(key, None)
        else:
            target[key] = value
    elif key == -1:
        target.append(value)
    elif key == -2:
        target.extend(value)
    elif value is None:
        del target[key]
    elif key == len(target):
        target.append(value)
    else:
        target[key] = value


def big_message(size):
    """A change array of exactly size bytes (text only when too small)."""
    head, tail = '["units",0,"note","', '"]'
    if size <= len(head) + len(tail):
        return "x" * size
    return head + "x" * (size - len(head) - len(tail)) + tail


def say(text):
    print(text, flush=True)


class Peer:
    def __init__(self, number, websocket):
        self.number = number
        self.websocket = websocket
        self.outgoing = asyncio.Queue()


class Client:
    def __init__(self, options, state, script):
        self.options = options
        self.state = state
        self.script = script
        self.peers = set()
        self.connections = 0
        self.stopped = asyncio.Event()

    # --- changes ------------------------------------------------------------

    def apply(self, change):
        try:
            apply_change(self.state, copy.deepcopy(change))
        except (ValueError, TypeError, KeyError, IndexError, AttributeError):
            say("change not applied here: %s" % json.dumps(change)[:200])

    def change(self, change):
        """A change of the client itself: applied, then sent to every peer."""
        self.apply(change)
        text = json.dumps(change)
        for peer in self.peers:
            peer.outgoing.put_nowait(text)

    def units(self):
        return self.state.setdefault("units", [])

    def index_of(self, unit):
        return next(i for i, u in enumerate(self.units())
                    if isinstance(u, dict) and u.get("id") == unit["id"])

    # --- the API ----------------------------------------------------------

    def check_request(self, path, headers):
        if path.split("?", 1)[0] != API_PATH:
            say("refused: HTTP 404 for %s" % path)
            return http.HTTPStatus.NOT_FOUND, [], b"Not found\n"
        if "Origin" in headers:
            say("refused: HTTP 401 for Origin %s" % headers["Origin"])
            return http.HTTPStatus.UNAUTHORIZED, [], b"Unauthorized\n"
        return None

    async def serve_peer(self, websocket):
        self.connections += 1
        peer = Peer(self.connections, websocket)
        say("connection %d opened" % peer.number)
        # The whole state is queued and the peer registered at once, so that
        # no change of the client falls between the two.
        peer.outgoing.put_nowait(json.dumps(self.state))
        self.peers.add(peer)
        tasks = [asyncio.create_task(self.write(peer)), asyncio.create_task(self.read(peer)),
                 asyncio.create_task(self.play(peer))]
        try:
            await asyncio.wait(tasks[:2], return_when=asyncio.FIRST_COMPLETED)
        finally:
            self.peers.discard(peer)
            for task in tasks:
                task.cancel()
            await asyncio.gather(*tasks, return_exceptions=True)
            await websocket.close()
            say("connection %d closed" % peer.number)

    async def write(self, peer):
        while True:
            try:
                item = await asyncio.wait_for(peer.outgoing.get(), self.options.ping_interval)
            except asyncio.TimeoutError:
                item = json.dumps("ping")
            if item is None:  # the script's disconnect
                return
            try:
                await peer.websocket.send(item)
            except websockets.ConnectionClosed:
                return

    async def read(self, peer):
        try:
            async for message in peer.websocket:
                self.take_command(message)
        except websockets.ConnectionClosed:
            pass

    async def play(self, peer):
        for step in self.script:
            if isinstance(step, list):
                self.apply(step)
                peer.outgoing.put_nowait(json.dumps(step))
            elif "sleep" in step:
                await asyncio.sleep(float(step["sleep"]))
            elif "raw" in step:
                peer.outgoing.put_nowait(str(step["raw"]))
            elif "big" in step:
                peer.outgoing.put_nowait(big_message(int(step["big"])))
            elif "ping" in step:
                peer.outgoing.put_nowait(json.dumps("ping"))
            elif "disconnect" in step:
                peer.outgoing.put_nowait(None)
                return
            elif "exit" in step:
                self.stopped.set()
                return

    def take_command(self, message):
        try:
            command = json.loads(message)
        except ValueError:
            command = None
        if not isinstance(command, dict):
            say("message %s" % message[:200])
            return
        say("command %s" % json.dumps(command, sort_keys=True))
        if command.get("cmd") == "state" and command.get("state") in ("pause", "fold", "finish"):
            self.set_folding(command["state"], command.get("group"))

    def set_folding(self, what, group):
        groups = self.state.setdefault("groups", {})
        names = [group] if group in groups else list(groups)
        for name in names:
            if what == "finish":
                self.change(["groups", name, "config", "finish", True])
                continue
            self.change(["groups", name, "config", "paused", what == "pause"])
            self.change(["groups", name, "config", "finish", False])
            self.change(["groups", name, "state", "paused" if what == "pause" else "run"])
        for index, unit in enumerate(self.units()):
            if isinstance(unit, dict) and unit.get("group", "") in names and what != "finish":
                self.change(["units", index, "paused", what == "pause"])

    # --- the demo -----------------------------------------------------------

    async def demo(self):
        period = self.options.demo
        tick = period / DEMO_STEPS
        while True:
            await asyncio.sleep(tick)
            unit = next((u for u in self.units() if isinstance(u, dict) and u.get("state") == "RUN"),
                        None)
            if unit is None or unit.get("paused"):
                continue
            index = self.index_of(unit)
            done = round(float(unit.get("wu_progress", 0)) + 1 / DEMO_STEPS, 3)
            if done < 1:
                self.change(["units", index, "wu_progress", done])
                self.change(["units", index, "eta", eta_text(period * (1 - done))])
                continue
            self.change(["units", index, "wu_progress", 1])
            self.change(["units", index, "state", "UPLOAD"])
            following = self.next_unit(unit)
            self.change(["units", -1, following])
            await asyncio.sleep(tick)
            self.change(["units", self.index_of(unit), None])
            self.change(["units", self.index_of(following), "state", "RUN"])

    def next_unit(self, unit):
        number = int(unit.get("number", 0)) + 1
        project, core, credit = PROJECTS[number // 3 % len(PROJECTS)]
        draw = random.Random(number)
        return make_unit(number, project, core, credit, draw.randrange(20), draw.randrange(100),
                         draw.randrange(300), state="DOWNLOAD", unit_seconds=self.options.demo)

    # --- the other modes ------------------------------------------------------

    async def serve_silent(self, reader, writer):
        self.connections += 1
        number = self.connections
        say("connection %d opened" % number)
        try:
            while await reader.read(4096):
                pass
        except ConnectionError:
            pass
        writer.close()
        say("connection %d closed" % number)

    async def serve_http(self, reader, writer):
        self.connections += 1
        number = self.connections
        say("connection %d opened" % number)
        try:
            await asyncio.wait_for(reader.readuntil(b"\r\n\r\n"), 10)
            body = b"Folding@home client\n"
            writer.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n"
                         b"Connection: close\r\n\r\n%s" % (len(body), body))
            await writer.drain()
        except (asyncio.TimeoutError, asyncio.IncompleteReadError, asyncio.LimitOverrunError,
                ConnectionError):
            pass
        writer.close()
        say("connection %d closed" % number)

    async def run(self):
        loop = asyncio.get_running_loop()
        for signal_number in (signal.SIGTERM, signal.SIGINT):
            loop.add_signal_handler(signal_number, self.stopped.set)
        address, port = self.options.address, self.options.port
        if self.options.mode == "api":
            server = await websockets.serve(
                self.serve_peer, address, port, process_request=self.check_request,
                compression=None, ping_interval=None, max_size=MESSAGE_LIMIT, close_timeout=2)
        else:
            handler = self.serve_silent if self.options.mode == "silent" else self.serve_http
            server = await asyncio.start_server(handler, address, port)
        say("listening on %d" % server.sockets[0].getsockname()[1])
        demo = asyncio.create_task(self.demo()) if self.options.demo else None
        await self.stopped.wait()
        if demo:
            demo.cancel()
        server.close()
        try:
            await asyncio.wait_for(server.wait_closed(), 5)
        except asyncio.TimeoutError:
            pass


def read_script(path):
    steps = []
    with open(path, encoding="utf-8") as file:
        for number, line in enumerate(file, 1):
            if not line.strip():
                continue
            step = json.loads(line)
            if not isinstance(step, (list, dict)):
                raise ValueError("%s:%d: neither a change nor a step" % (path, number))
            steps.append(step)
    return steps


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=7396, help="0: any free port")
    parser.add_argument("--state", default=None, metavar="FILE")
    parser.add_argument("--script", default=None, metavar="FILE")
    parser.add_argument("--mode", choices=("api", "silent", "http"), default="api")
    parser.add_argument("--demo", type=float, default=0, metavar="SECONDS")
    parser.add_argument("--ping-interval", type=float, default=15, metavar="S")
    options = parser.parse_args(argv)
    if options.demo < 0 or options.ping_interval <= 0:
        parser.error("--demo and --ping-interval take a positive number of seconds")
    return options


def main(argv):
    options = parse_arguments(argv)
    # A peer that gives up during the handshake is no error here.
    logging.getLogger("websockets").addHandler(logging.NullHandler())
    logging.getLogger("websockets").propagate = False
    if options.state:
        with open(options.state, encoding="utf-8") as file:
            state = json.load(file)
    else:
        state = default_state()
    script = read_script(options.script) if options.script else []
    try:
        asyncio.run(Client(options, state, script).run())
    except OSError as error:
        print("fake_client: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
