#!/usr/bin/env python3
"""Timestamps for every exchange of a vote, seen from the service's side of the wire.

serve LOG SERVICE_LOG PORT -- DEMO_SERVICE_COMMAND...
    Starts the demo service (its command must listen on 127.0.0.1:0), relays 127.0.0.1:PORT to it
    and writes LOG: one line per event with a monotonic time in milliseconds:
      T svc TEXT              a line the service wrote on standard error (one per request)
      T conn N accept         the program connected
      T conn N c>s BYTES      bytes from the program (TLS records: hello, key exchange, request)
      T conn N s>c BYTES      bytes from the service
      T conn N c-eof | s-eof  one side closed
    The service's lines also go, with their times, to SERVICE_LOG (where the e2e helpers wait for
    them). The relay adds well under a millisecond. "listening" is written to LOG.ready once both
    ports are open. SIGTERM stops the service and the relay.

report LOG
    Prints the table of exchanges: when each request reached the service, how its time splits
    into the program's connect/handshake/write steps, the service, the program's read steps and
    the wait before the next connection, against what the 200 ms step timer and the 5 s poll timer
    allow at least.
"""
import ctypes
import os
import re
import selectors
import signal
import socket
import subprocess
import sys
import time

STEP_MS = 200
POLL_MS = 5000


def now_ms():
    return time.monotonic() * 1000.0


def serve(log_path, service_log_path, port, command):
    log = open(log_path, "w", buffering=1)
    service_log = open(service_log_path, "a", buffering=1)

    def note(text):
        log.write("%.1f %s\n" % (now_ms(), text))

    def die_with_parent():
        ctypes.CDLL("libc.so.6").prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG

    child = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, preexec_fn=die_with_parent)
    first = child.stdout.readline().decode(errors="replace")
    found = re.search(r"listening on [0-9.]+:(\d+)", first)
    if not found:
        child.terminate()
        sys.exit("timed_service: the demo service did not start: " + first)
    target = int(found.group(1))

    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(16)
    listener.setblocking(False)

    stopping = []
    signal.signal(signal.SIGTERM, lambda *_: stopping.append(1))
    signal.signal(signal.SIGINT, lambda *_: stopping.append(1))

    sel = selectors.DefaultSelector()
    sel.register(listener, selectors.EVENT_READ, ("accept", None))
    sel.register(child.stderr, selectors.EVENT_READ, ("stderr", None))
    pending = b""
    count = 0
    with open(log_path + ".ready", "w") as ready:
        ready.write("listening on 127.0.0.1:%d\n" % port)

    while not stopping and child.poll() is None:
        for key, _ in sel.select(timeout=0.2):
            kind, data = key.data
            if kind == "accept":
                try:
                    client, _ = listener.accept()
                except BlockingIOError:
                    continue
                count += 1
                note("conn %d accept" % count)
                upstream = socket.create_connection(("127.0.0.1", target))
                for s in (client, upstream):
                    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                pair = {"n": count, "open": 2}
                sel.register(client, selectors.EVENT_READ, ("relay", (client, upstream, "c>s", "c-eof", pair)))
                sel.register(upstream, selectors.EVENT_READ, ("relay", (upstream, client, "s>c", "s-eof", pair)))
            elif kind == "stderr":
                chunk = os.read(child.stderr.fileno(), 65536)
                if not chunk:
                    sel.unregister(child.stderr)
                    continue
                pending += chunk
                while b"\n" in pending:
                    line, pending = pending.split(b"\n", 1)
                    text = line.decode(errors="replace")
                    note("svc " + text)
                    service_log.write("%.1f %s\n" % (now_ms(), text))
            else:
                source, sink, direction, eof, pair = data
                try:
                    chunk = source.recv(65536)
                except OSError:
                    chunk = b""
                if chunk:
                    note("conn %d %s %d" % (pair["n"], direction, len(chunk)))
                    try:
                        sink.sendall(chunk)
                    except OSError:
                        pass
                    continue
                note("conn %d %s" % (pair["n"], eof))
                sel.unregister(source)
                try:
                    sink.shutdown(socket.SHUT_WR)
                except OSError:
                    pass
                pair["open"] -= 1
                if pair["open"] == 0:
                    source.close()
                    sink.close()
    if child.poll() is None:
        child.terminate()
        try:
            child.wait(timeout=5)
        except subprocess.TimeoutExpired:
            child.kill()
            child.wait()
    log.close()
    service_log.close()


def parse(log_path):
    """The connections (accept, chunk and close times) and the requests (time, method, answer)."""
    conns = {}
    requests = []
    for line in open(log_path, encoding="utf-8", errors="replace"):
        fields = line.rstrip("\n").split(" ", 2)
        if len(fields) < 3:
            continue
        t = float(fields[0])
        if fields[1] == "svc":
            m = re.match(r"demo-service: (\S+) via \S+ -> (.*)", fields[2])
            if m:
                status = re.search(r'"Status":"(\w+)"', m.group(2))
                error = re.search(r'"error":"([^"]+)"', m.group(2))
                answer = status.group(1) if status else (error.group(1) if error else "OK")
                requests.append((t, m.group(1), answer))
            continue
        if fields[1] != "conn":
            continue
        rest = fields[2].split()
        n, event = int(rest[0]), rest[1]
        c = conns.setdefault(n, {"c>s": [], "s>c": []})
        if event in ("c>s", "s>c"):
            c[event].append(t)
        else:
            c[event] = t
    return conns, requests


def steps(ms):
    return "%d" % round(ms / STEP_MS)


def report(log_path):
    conns, requests = parse(log_path)
    order = sorted(conns)
    rows = []
    for i, n in enumerate(order):
        c = conns[n]
        accept = c.get("accept")
        end = c.get("c-eof", c.get("s-eof"))
        req = next((r for r in requests if accept <= r[0] <= (end or r[0])), None)
        if accept is None or end is None or req is None:
            continue
        # The program's flights before the request: a burst of records within 50 ms is one step.
        flights = []
        for t in c["c>s"]:
            if t <= req[0] + 1 and (not flights or t - flights[-1] > 50):
                flights.append(t)
        reply = next((t for t in c["s>c"] if t >= req[0]), req[0])
        rows.append({"method": req[1], "status": req[2], "accept": accept, "request": req[0],
                     "reply": reply, "end": end, "flights": flights})

    print("%-19s %-7s %8s %8s %7s %7s %9s %9s %-s" % (
        "exchange", "answer", "wait ms", "setup ms", "svc ms", "read ms", "req->next", "floor ms", "what follows"))
    for i, r in enumerate(rows):
        nxt = rows[i + 1] if i + 1 < len(rows) else None
        wait = r["accept"] - rows[i - 1]["end"] if i > 0 else None
        setup = r["request"] - r["accept"]
        service = r["reply"] - r["request"]
        read = r["end"] - r["reply"]
        gap = nxt["request"] - r["request"] if nxt else None
        # What the timers allow at least: the reply is read on the next 200 ms step; the next
        # operation is sent on its state's first step (a poll after 5 s instead), connects on the
        # next, needs one or two more for the TLS handshake (two when the server's Finished has
        # not arrived by the end of the step that sent the program's), and one to write.
        if nxt is None:
            follows, floor = "result view", None
        elif r["status"] == "POLL" or (r["method"] in ("Authenticate", "Sign") and nxt["method"].endswith("Status")):
            follows, floor = "poll timer", (STEP_MS + POLL_MS + 3 * STEP_MS, STEP_MS + POLL_MS + 4 * STEP_MS)
        elif r["method"] == "VoterChoices" and nxt["accept"] - r["end"] > 2000:
            follows, floor = "the voter (V4-V6)", None
        else:
            follows, floor = "next state", (5 * STEP_MS, 6 * STEP_MS)
        print("%-19s %-7s %8s %8.0f %7.0f %7.0f %9s %9s %s" % (
            r["method"], r["status"] or "-", "%.0f" % wait if wait is not None else "-", setup, service, read,
            "%.0f" % gap if gap is not None else "-", "%d-%d" % floor if floor else "-",
            "%s; setup %d flights in %s steps" % (follows, len(r["flights"]), steps(setup))))
    if rows:
        # Where the time between the first request and the last goes.
        whole = rows[-1]["request"] - rows[0]["request"]
        voter = sum(rows[i + 1]["accept"] - r["end"] for i, r in enumerate(rows[:-1])
                    if r["method"] == "VoterChoices" and rows[i + 1]["accept"] - r["end"] > 2000)
        polls = POLL_MS * sum(1 for i, r in enumerate(rows[:-1])
                              if r["status"] == "POLL" or (r["method"] in ("Authenticate", "Sign")
                                                           and rows[i + 1]["method"].endswith("Status")))
        service = sum(r["reply"] - r["request"] for r in rows[:-1])
        steps_ms = whole - voter - polls - service
        print("exchanges: %d; first request to last: %.0f ms = the voter %.0f + 5 s poll timers %d"
              " + service %.0f + the program's steps %.0f (%.1f steps of 200 ms)"
              % (len(rows), whole, voter, polls, service, steps_ms, steps_ms / STEP_MS))
    return rows


def main():
    if len(sys.argv) >= 7 and sys.argv[1] == "serve" and sys.argv[5] == "--":
        serve(sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[6:])
    elif len(sys.argv) == 3 and sys.argv[1] == "report":
        report(sys.argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
