#!/usr/bin/env python3
"""Drops files on the X window at a point of the screen, as a Linux file manager does
(XDND, text/uri-list):

    xdnd_drop.py <x> <y> <done file> <file URI>...

Writes "dropped" to the done file once the window has taken the drop, or what went
wrong. Gives up after 10 s, so it never outlives the test that started it."""

import os
import sys
import time

from Xlib import X, display
from Xlib.protocol import event

TIMEOUT = 10


def window_at(d, x, y):
    """The outermost window at (x, y) that says it takes drops."""
    root = d.screen().root
    aware = d.intern_atom("XdndAware")
    window = root
    while True:
        child = window.translate_coords(root, x, y).child
        if not child or child.id == X.NONE:
            return None
        if child.get_full_property(aware, X.AnyPropertyType):
            return child
        window = child


def drop(x, y, uris):
    d = display.Display()
    atom = d.intern_atom
    target = window_at(d, x, y)
    if target is None:
        return f"no window that takes drops at ({x}, {y})"
    source = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    uri_list = atom("text/uri-list")
    data = "".join(uri + "\r\n" for uri in uris).encode()
    source.set_selection_owner(atom("XdndSelection"), X.CurrentTime)

    def tell(name, *values):
        values = list(values) + [0] * (5 - len(values))
        target.send_event(event.ClientMessage(window=target, client_type=atom(name), data=(32, values)))
        d.flush()

    tell("XdndEnter", source.id, 5 << 24, uri_list)
    tell("XdndPosition", source.id, 0, (x << 16) | y, X.CurrentTime, atom("XdndActionCopy"))
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        if not d.pending_events():
            time.sleep(0.01)
            continue
        e = d.next_event()
        if e.type == X.SelectionRequest:
            known = e.target == uri_list
            if known:
                e.requestor.change_property(e.property, uri_list, 8, data)
            e.requestor.send_event(event.SelectionNotify(
                time=e.time, requestor=e.requestor, selection=e.selection, target=e.target,
                property=e.property if known else X.NONE))
            d.flush()
        elif e.type == X.ClientMessage and e.client_type == atom("XdndStatus"):
            if not e.data[1][1] & 1:
                tell("XdndLeave", source.id)
                return "the window refused the drop"
            tell("XdndDrop", source.id, 0, X.CurrentTime)
        elif e.type == X.ClientMessage and e.client_type == atom("XdndFinished"):
            return "dropped"
    return f"no answer within {TIMEOUT} s"


def main():
    x, y, done = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    try:
        result = drop(x, y, sys.argv[4:])
    except Exception as error:  # whatever it was, the test reads it
        result = f"{type(error).__name__}: {error}"
    with open(done + ".part", "w") as f:
        f.write(result)
    os.replace(done + ".part", done)  # whole or not at all


if __name__ == "__main__":
    main()
