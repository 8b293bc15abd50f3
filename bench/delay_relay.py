#!/usr/bin/env python3
"""An SSH ProxyCommand that adds network latency: relays standard input and output to HOST:PORT,
holding every chunk back half of ROUND_TRIP_MS in each direction, in order.

The network benchmark's server runs on this machine, so a request costs CPU but no waiting; a
file server on a real network answers after a round trip. This puts the round trip back.

usage: delay_relay.py HOST PORT ROUND_TRIP_MS
"""
import os
import queue
import socket
import sys
import threading
import time


def relay(read, write, delay, done):
    """Copies chunks from read() to write(), each no sooner than `delay` seconds after it came."""
    chunks = queue.Queue()

    def writer():
        while True:
            due, data = chunks.get()
            if not data:
                break
            wait = due - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            try:
                write(data)
            except OSError:
                break
        done.set()

    thread = threading.Thread(target=writer, daemon=True)
    thread.start()
    while True:
        try:
            data = read()
        except OSError:
            data = b""
        chunks.put((time.monotonic() + delay, data))
        if not data:
            break
    thread.join()


def main():
    host, port, round_trip_ms = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
    delay = round_trip_ms / 2000.0
    server = socket.create_connection((host, port))
    server.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    stdin, stdout = sys.stdin.fileno(), sys.stdout.fileno()

    def write_out(data):
        view = memoryview(data)
        while view:
            view = view[os.write(stdout, view):]

    done = threading.Event()
    up = threading.Thread(
        target=relay,
        args=(lambda: os.read(stdin, 65536), server.sendall, delay, done),
        daemon=True)
    down = threading.Thread(
        target=relay, args=(lambda: server.recv(65536), write_out, delay, done), daemon=True)
    up.start()
    down.start()
    done.wait() # either side closed: the connection is over
    time.sleep(delay)


if __name__ == "__main__":
    main()
