#!/usr/bin/env python3
"""The HTTP server the link check's tests and benchmark ask, on 127.0.0.1.

Prints "ready PORT" once it listens, and "stall PATH" when a stalling
request arrives. Reads commands on standard input, one a line, and answers
each with one line:
  connections           connections accepted since the last reset
  wait-closed SECONDS   "closed" once no connection is open, else "open N"
                        after SECONDS
  max-per-host HOST     the most requests under way at once naming HOST
                        (its Host header)
  max-total             the most requests under way at once
  count METHOD PATH     how many METHOD requests PATH got (without query)
  agent                 the User-Agent of the last request
  cookies               requests that carried a Cookie header
  reset                 "ok"; every count starts again
Ends when its standard input closes.

Paths:
  /ok                  200
  /moved?code=C        C (301 by default) to /ok
  /chain/N             302 to /chain/N-1; /chain/0 answers 200
  /loop/a, /loop/b     302 to each other
  /to?url=U            302 to U
  /cookie              302 to /ok, setting a cookie
  /missing             404
  /broken              500
  /no-head?code=C      HEAD: C (405 by default); GET: 200 and a body without end
  /stall               no answer for 60 s, or until the client goes
  /wait?ms=N           200 after N ms
  /hold?n=N            held until N /hold requests are under way at once
                       (10 s at most), then 200

Options: --cert FILE --key FILE serve HTTPS with that certificate.
"""
import argparse
import select
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

lock = threading.Condition()
stats = {}


def reset():
    stats.clear()
    stats.update(connections=0, open=0, total=0, max_total=0, per_host={}, max_per_host={}, counts={}, holding=0,
                 hold_group=0, agent="", cookies=0)


reset()


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def setup(self):
        super().setup()
        with lock:
            stats["connections"] += 1
            stats["open"] += 1

    def finish(self):
        try:
            super().finish()
        finally:
            with lock:
                stats["open"] -= 1
                lock.notify_all()

    def do_HEAD(self):
        self.answer_request("HEAD")

    def do_GET(self):
        self.answer_request("GET")

    def begin(self, method, path):
        host = self.headers.get("Host", "")
        with lock:
            key = method + " " + path
            stats["counts"][key] = stats["counts"].get(key, 0) + 1
            stats["total"] += 1
            stats["agent"] = self.headers.get("User-Agent", "")
            if self.headers.get("Cookie") is not None:
                stats["cookies"] += 1
            stats["max_total"] = max(stats["max_total"], stats["total"])
            under_way = stats["per_host"].get(host, 0) + 1
            stats["per_host"][host] = under_way
            stats["max_per_host"][host] = max(stats["max_per_host"].get(host, 0), under_way)
        return host

    def end(self, host):
        # Counted as ended before the answer goes out, so a client's next
        # request can never be counted alongside this one.
        with lock:
            stats["total"] -= 1
            stats["per_host"][host] -= 1

    def answer_request(self, method):
        parts = urlsplit(self.path)
        path = parts.path
        query = {k: v[0] for k, v in parse_qs(parts.query).items()}
        host = self.begin(method, path)
        ended = False

        def reply(code, headers=(), body=b""):
            nonlocal ended
            self.end(host)
            ended = True
            self.send_response(code)
            for name, value in headers:
                self.send_header(name, value)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if method == "GET":
                self.wfile.write(body)

        try:
            if path == "/ok":
                reply(200, body=b"ok\n")
            elif path == "/moved":
                reply(int(query.get("code", "301")), [("Location", "/ok")])
            elif path.startswith("/chain/"):
                left = int(path[len("/chain/"):])
                if left == 0:
                    reply(200, body=b"end of the chain\n")
                else:
                    reply(302, [("Location", "/chain/%d" % (left - 1))])
            elif path == "/loop/a":
                reply(302, [("Location", "/loop/b")])
            elif path == "/loop/b":
                reply(302, [("Location", "/loop/a")])
            elif path == "/to":
                reply(302, [("Location", query["url"])])
            elif path == "/cookie":
                reply(302, [("Location", "/ok"), ("Set-Cookie", "visitor=1; Path=/")])
            elif path == "/missing":
                reply(404, body=b"missing\n")
            elif path == "/broken":
                reply(500, body=b"broken\n")
            elif path == "/no-head":
                if method == "HEAD":
                    reply(int(query.get("code", "405")))
                else:
                    self.endless_body(host)
                    ended = True
            elif path == "/stall":
                say("stall " + path)
                # Readable means the client went (or sent more): either way
                # this connection is done.
                select.select([self.connection], [], [], 60)
                self.close_connection = True
            elif path == "/wait":
                time.sleep(int(query.get("ms", "100")) / 1000)
                reply(200, body=b"waited\n")
            elif path == "/hold":
                wanted = int(query.get("n", "2"))
                with lock:
                    # The one that fills the group lets the whole group go.
                    group = stats["hold_group"]
                    stats["holding"] += 1
                    if stats["holding"] >= wanted:
                        stats["holding"] = 0
                        stats["hold_group"] += 1
                        lock.notify_all()
                    elif not lock.wait_for(lambda: stats["hold_group"] != group, timeout=10):
                        stats["holding"] -= 1
                reply(200, body=b"held\n")
            else:
                reply(404, body=b"no such path\n")
        finally:
            if not ended:
                self.end(host)

    def endless_body(self, host):
        self.end(host)
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        chunk = b"x" * 16384
        deadline = time.monotonic() + 60
        try:
            while time.monotonic() < deadline:
                self.wfile.write(chunk)
        except OSError:
            pass


def answer(command):
    words = command.split()
    if not words:
        return None
    with lock:
        if words[0] == "connections":
            return str(stats["connections"])
        if words[0] == "wait-closed":
            lock.wait_for(lambda: stats["open"] == 0, timeout=float(words[1]))
            return "closed" if stats["open"] == 0 else "open %d" % stats["open"]
        if words[0] == "max-per-host":
            return str(stats["max_per_host"].get(words[1], 0))
        if words[0] == "max-total":
            return str(stats["max_total"])
        if words[0] == "count":
            return str(stats["counts"].get(words[1] + " " + words[2], 0))
        if words[0] == "agent":
            return stats["agent"]
        if words[0] == "cookies":
            return str(stats["cookies"])
        if words[0] == "reset":
            reset()
            return "ok"
    return "unknown command"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert")
    parser.add_argument("--key")
    options = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.request_queue_size = 128
    if options.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(options.cert, options.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    say("ready %d" % server.server_address[1])
    for line in sys.stdin:
        reply = answer(line)
        if reply is not None:
            say(reply)
    server.shutdown()


if __name__ == "__main__":
    main()
