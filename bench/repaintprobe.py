#!/usr/bin/python3
"""Does a window repaint while its program waits? (run by bench/slowline.py --xvfb for skyvane)

    repaintprobe.py DISPLAY OUTFILE [TITLE]

Every 2 seconds it covers the program's largest visible window titled TITLE (default Skyvane)
with a magenta window of its own, takes that away, and half a second later compares the
window's pixels with a picture taken just before the covering. A program that is busy
elsewhere does not draw again what was covered: the magenta (or nothing) stays. One line per
try in OUTFILE: the time (seconds since the epoch), the share of pixels back as they were, and
the share still magenta. Ends when the window has gone for 30 s.
"""

import sys
import time

from Xlib import X, display, error

COVER = 0xFF00FF


def visible_window(d, title):
    best, best_area = None, 0
    stack = [d.screen().root]
    while stack:
        w = stack.pop()
        try:
            stack.extend(w.query_tree().children)
            if w.get_wm_name() != title or w.get_attributes().map_state != X.IsViewable:
                continue
            g = w.get_geometry()
            if g.width * g.height > best_area:
                best, best_area = w, g.width * g.height
        except error.XError:
            continue
    return best


def grab(d, window):
    g = window.get_geometry()
    pos = window.translate_coords(d.screen().root, 0, 0)
    x, y = -pos.x, -pos.y
    image = d.screen().root.get_image(x, y, g.width, g.height, X.ZPixmap, 0xFFFFFFFF)
    return (x, y, g.width, g.height), image.data


def pixels(data):
    return [data[i:i + 3] for i in range(0, len(data), 4)]


def main():
    d = display.Display(sys.argv[1])
    out = open(sys.argv[2], "a", buffering=1)
    title = sys.argv[3] if len(sys.argv) > 3 else "Skyvane"
    gone_since = None
    while True:
        time.sleep(2)
        try:
            window = visible_window(d, title)
            if window is None:
                gone_since = gone_since or time.time()
                if time.time() - gone_since > 30:
                    return
                continue
            gone_since = None
            (x, y, w, h), before = grab(d, window)
            cover = d.screen().root.create_window(x, y, w, h, 0, d.screen().root_depth,
                                                  background_pixel=COVER,
                                                  override_redirect=True)
            cover.map()
            d.sync()
            time.sleep(0.2)
            cover.destroy()
            d.sync()
            time.sleep(0.5)
            _, after = grab(d, window)
        except error.XError:
            continue
        old, new = pixels(before), pixels(after)
        if not old or len(old) != len(new):
            continue
        same = sum(1 for a, b in zip(old, new) if a == b) / len(old)
        magenta = sum(1 for b in new if b == b"\xff\x00\xff") / len(new)
        out.write("%.1f %.3f %.3f\n" % (time.time(), same, magenta))


if __name__ == "__main__":
    main()
