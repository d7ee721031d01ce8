#!/usr/bin/python3
"""A local stand-in of the public station directory's JSON API, for the tests.

Serves the station records of a JSON file (the API's station objects) with the API's
search, lookup and click-count answers, and can be told to misbehave:

    directory_standin.py STATIONS.json [--station-url URL]

"@STATION@" in a record's addresses becomes URL, "@STANDIN@" this server's own address. Prints "PORT <n>" once it listens on
127.0.0.1. Besides the API:
    /standin/fault?mode=none|malformed|huge|status&code=N&delay=SECONDS
        how the following /json/ requests are answered (delay: wait before answering)
    /standin/requests   the /json/ requests so far: [{"path": ..., "agent": ...}]
    /favicon/NAME.png   a small PNG icon
"""

import json
import struct
import sys
import threading
import time
import urllib.parse
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def png_icon():
    width = height = 16
    raw = b"".join(b"\x00" + bytes([200, 60, 40]) * width for _ in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))


class State:
    def __init__(self, stations):
        self.lock = threading.Lock()
        self.stations = stations
        self.requests = []
        self.fault = {"mode": "none", "code": 500, "delay": 0.0}


def matches(station, query):
    def has(key, field, exact=False):
        wanted = query.get(key, [""])[0].lower()
        value = str(station.get(field, "")).lower()
        return not wanted or (value == wanted if exact else wanted in value)

    minimum = int(query.get("bitrateMin", ["0"])[0] or 0)
    broken = query.get("hidebroken", ["false"])[0] == "true" and not station.get("lastcheckok", 1)
    return (has("name", "name") and has("tag", "tags") and has("countrycode", "countrycode", True)
            and has("language", "language") and has("codec", "codec", True)
            and int(station.get("bitrate", 0)) >= minimum and not broken)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def answer(self, code, body, content_type="application/json"):
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        state = self.server.state
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        if url.path == "/standin/fault":
            with state.lock:
                state.fault = {"mode": query.get("mode", ["none"])[0],
                               "code": int(query.get("code", ["500"])[0]),
                               "delay": float(query.get("delay", ["0"])[0])}
            return self.answer(200, b"{}")
        if url.path == "/standin/requests":
            with state.lock:
                return self.answer(200, json.dumps(state.requests).encode())
        if url.path.startswith("/favicon/"):
            return self.answer(200, png_icon(), "image/png")
        if not url.path.startswith("/json/"):
            return self.answer(404, b"not found", "text/plain")
        with state.lock:
            state.requests.append({"path": self.path, "agent": self.headers.get("User-Agent", "")})
            fault = dict(state.fault)
        if fault["delay"]:
            time.sleep(fault["delay"])
        if fault["mode"] == "status":
            return self.answer(fault["code"], b'{"error": "stand-in failure"}')
        if fault["mode"] == "malformed":
            return self.answer(200, b'[{"stationuuid": "cut-short", "name": "Half')
        if fault["mode"] == "huge":
            self.send_response(200)
            self.send_header("Content-Type", "application/json")
            self.end_headers()
            try:
                self.wfile.write(b"[")
                item = json.dumps({"stationuuid": "x", "name": "Filler " * 100}).encode()
                for _ in range(200000):
                    self.wfile.write(item + b",")
                self.wfile.write(b"{}]")
            except (BrokenPipeError, ConnectionResetError):
                pass
            return None
        return self.api(url, query)

    def api(self, url, query):
        state = self.server.state
        with state.lock:
            stations = [dict(s) for s in state.stations]
        if url.path == "/json/stations/search":
            found = [s for s in stations if matches(s, query)]
            order = query.get("order", ["name"])[0]
            if order in ("votes", "clickcount"):
                found.sort(key=lambda s: s.get(order, 0),
                           reverse=query.get("reverse", ["false"])[0] == "true")
            offset = int(query.get("offset", ["0"])[0])
            limit = int(query.get("limit", ["100000"])[0])
            return self.answer(200, json.dumps(found[offset:offset + limit]).encode())
        if url.path.startswith("/json/stations/byuuid"):
            wanted = url.path[len("/json/stations/byuuid/"):].split(",")
            wanted += query.get("uuids", [""])[0].split(",")
            found = [s for s in stations if s["stationuuid"] in wanted]
            return self.answer(200, json.dumps(found).encode())
        if url.path.startswith("/json/url/"):
            uuid = url.path[len("/json/url/"):]
            with state.lock:
                for station in state.stations:
                    if station["stationuuid"] == uuid:
                        station["clickcount"] = station.get("clickcount", 0) + 1
                        body = {"ok": True, "message": "retrieved station url",
                                "stationuuid": uuid, "name": station["name"],
                                "url": station["url"]}
                        return self.answer(200, json.dumps(body).encode())
            return self.answer(404, b'{"ok": false, "message": "station not found"}')
        return self.answer(404, b"[]")


def main():
    with open(sys.argv[1], encoding="utf-8") as file:
        text = file.read()
    if "--station-url" in sys.argv:
        text = text.replace("@STATION@", sys.argv[sys.argv.index("--station-url") + 1])
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    text = text.replace("@STANDIN@", "http://127.0.0.1:%d" % server.server_address[1])
    server.state = State(json.loads(text))
    print("PORT %d" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
