#!/usr/bin/python3
"""A slow line between two network namespaces, in user space (this kernel has no netem).

    linkemu.py CONFIG

CONFIG is a JSON object:
  ends      [{"netns": NAME, "tap": NAME}, {...}]: a TAP device is made in each namespace
            (it goes away with this process); frames of one are carried to the other
  up, down  the two directions (first end to second, second to first), each with
              rate          bits per second at the bottleneck (0: no limit)
              delay         ms added to every frame after it left the bottleneck
              jitter        ms: each frame gets a further delay between -jitter and +jitter
                            (order kept, as on a serial line)
              loss          0..1, share of frames dropped at random
              reorder       0..1, share of frames held back by reorderDelay ms more, so that
                            the frames behind them overtake them
              reorderDelay  ms (default 20)
              queue         frames the bottleneck holds, the one on the wire included; a frame
                            arriving at a full queue is dropped
  control   path of a FIFO for commands, one per line: "down" (the line carries nothing and
            loses what it held), "down SECONDS" (for that long), "up"
  log       file that gets one line a second: time, then for each way the bytes and frames
            carried, the frames dropped and the frames in the queue
  seed      seed of the random choices (default 1)

Prints "ready" once both devices exist. Ends on SIGTERM or SIGINT.
"""

import collections
import ctypes
import fcntl
import heapq
import json
import os
import random
import select
import signal
import struct
import sys
import time

TUNSETIFF = 0x400454CA
IFF_TAP = 0x0002
IFF_NO_PI = 0x1000
CLONE_NEWNET = 0x40000000


def open_tap(netns, name):
    """A TAP device made inside the named namespace, its file staying with this process."""
    libc = ctypes.CDLL(None, use_errno=True)
    own = os.open("/proc/self/ns/net", os.O_RDONLY)
    target = os.open("/run/netns/" + netns, os.O_RDONLY)
    try:
        if libc.setns(target, CLONE_NEWNET) != 0:
            raise OSError(ctypes.get_errno(), "setns " + netns)
        fd = os.open("/dev/net/tun", os.O_RDWR | os.O_NONBLOCK)
        fcntl.ioctl(fd, TUNSETIFF, struct.pack("16sH", name.encode(), IFF_TAP | IFF_NO_PI))
    finally:
        if libc.setns(own, CLONE_NEWNET) != 0:
            raise OSError(ctypes.get_errno(), "setns back")
        os.close(own)
        os.close(target)
    return fd


class Direction:
    """One way of the line: a bottleneck queue, then delay, jitter, loss and reordering."""

    def __init__(self, params, out_fd, rng):
        self.rate = float(params.get("rate", 0))
        self.delay = params.get("delay", 0) / 1000.0
        self.jitter = params.get("jitter", 0) / 1000.0
        self.loss = params.get("loss", 0)
        self.reorder = params.get("reorder", 0)
        self.reorder_delay = params.get("reorderDelay", 20) / 1000.0
        self.limit = params.get("queue", 1000)
        self.out_fd = out_fd
        self.rng = rng
        self.queue = collections.deque()
        self.wire_free = 0.0  # when the frame on the wire has left the bottleneck
        self.flight = []  # (arrival, number, frame) after the bottleneck
        self.number = 0
        self.last_in_order = 0.0
        self.carried = self.frames = self.dropped = 0

    def send_time(self, frame):
        return len(frame) * 8 / self.rate if self.rate > 0 else 0.0

    def arrive(self, frame, now, line_up):
        if not line_up or self.rng.random() < self.loss or len(self.queue) >= self.limit:
            self.dropped += 1
            return
        if not self.queue:
            self.wire_free = now + self.send_time(frame)
        self.queue.append(frame)

    def advance(self, now):
        """Moves the frames that have left the bottleneck into flight and delivers the due."""
        while self.queue and self.wire_free <= now:
            frame = self.queue.popleft()
            left = self.wire_free
            arrival = left + self.delay
            if self.jitter:
                arrival += self.rng.uniform(-self.jitter, self.jitter)
            arrival = max(arrival, left)
            if self.reorder and self.rng.random() < self.reorder:
                arrival += self.reorder_delay
            else:
                arrival = max(arrival, self.last_in_order)
                self.last_in_order = arrival
            self.number += 1
            heapq.heappush(self.flight, (arrival, self.number, frame))
            if self.queue:
                self.wire_free = left + self.send_time(self.queue[0])
        while self.flight and self.flight[0][0] <= now:
            frame = heapq.heappop(self.flight)[2]
            try:
                os.write(self.out_fd, frame)
                self.carried += len(frame)
                self.frames += 1
            except OSError:  # the far device is not up (yet)
                self.dropped += 1

    def next_event(self):
        times = []
        if self.queue:
            times.append(self.wire_free)
        if self.flight:
            times.append(self.flight[0][0])
        return min(times) if times else None

    def lose_everything(self):
        self.dropped += len(self.queue) + len(self.flight)
        self.queue.clear()
        self.flight = []


def main():
    config = json.loads(sys.argv[1])
    rng = random.Random(config.get("seed", 1))
    first, second = config["ends"]
    fd_a = open_tap(first["netns"], first["tap"])
    fd_b = open_tap(second["netns"], second["tap"])
    directions = {fd_a: Direction(config.get("up", {}), fd_b, rng),
                  fd_b: Direction(config.get("down", {}), fd_a, rng)}
    up, down = directions[fd_a], directions[fd_b]

    control = None
    if config.get("control"):
        control = os.open(config["control"], os.O_RDWR | os.O_NONBLOCK)
    log = open(config["log"], "a", buffering=1) if config.get("log") else None

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print("ready", flush=True)

    line_up = True
    back_at = None  # when a timed outage ends
    pending = b""
    next_log = time.monotonic() + 1
    while True:
        now = time.monotonic()
        if back_at is not None and now >= back_at:
            line_up, back_at = True, None
        events = [t for t in (up.next_event(), down.next_event(), back_at, next_log) if t]
        wait = max(0.0, min(events) - now)
        readable, _, _ = select.select(list(directions) + ([control] if control else []), [],
                                       [], wait)
        now = time.monotonic()
        for fd in readable:
            if fd == control:
                pending += os.read(control, 4096)
                while b"\n" in pending:
                    line, pending = pending.split(b"\n", 1)
                    words = line.decode().split()
                    if words and words[0] == "down":
                        line_up = False
                        back_at = now + float(words[1]) if len(words) > 1 else None
                        up.lose_everything()
                        down.lose_everything()
                    elif words == ["up"]:
                        line_up, back_at = True, None
                continue
            while True:
                try:
                    frame = os.read(fd, 65536)
                except BlockingIOError:
                    break
                directions[fd].arrive(frame, now, line_up)
        for direction in (up, down):
            direction.advance(now)
        if now >= next_log:
            next_log += 1
            if log:
                log.write("%.3f up %d %d %d %d down %d %d %d %d %s\n" % (
                    time.time(), up.carried, up.frames, up.dropped, len(up.queue), down.carried,
                    down.frames, down.dropped, len(down.queue), "up" if line_up else "down"))


if __name__ == "__main__":
    main()
