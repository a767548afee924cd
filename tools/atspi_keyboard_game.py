#!/usr/bin/env python3
"""Plays a whole game of Orbelix with the keyboard alone, deciding every move from
what the screen reader interface says, the way a blind player would: Tab to the
colour-count button and Space up to 13 colours, S for symbols, Ctrl+N, then the
arrow keys and L walk the cursor while the board's announced name tells the colour
and group size of each cell; Enter takes a group of two or more.  At the end the
name goes into the table by keys, and Escape closes it.  Screenshots go to OUT_DIR.

Run inside atspi_session.sh (which starts Xvfb, the AT-SPI bus and the game):

    dbus-run-session -- tools/atspi_session.sh build/orbelix \\
        /usr/bin/python3 tools/atspi_keyboard_game.py OUT_DIR
"""

import os
import re
import subprocess
import sys
import time

import pyatspi

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from atspi_dump import dump, find_app  # noqa: E402

CELL = re.compile(r"Row (\d+), column (\d+), (front|middle|back): (?:empty|(.+), group of (\d+), (\d+) points)")
LAYERS = {"front": 1, "middle": 2, "back": 3}


def key(*names):
    subprocess.run(["xdotool", "key", "--delay", "15"] + list(names), check=True)


def shot(out_dir, name):
    path = os.path.join(out_dir, name)
    subprocess.run(["import", "-display", os.environ["DISPLAY"], "-window", "root", path], check=True)
    print("screenshot", path)


def find(node, predicate):
    if node is None:
        return None
    if predicate(node):
        return node
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), predicate)
        if found is not None:
            return found
    return None


def focused_name(app):
    node = find(app, lambda n: n.getState().contains(pyatspi.STATE_FOCUSED))
    return node.name if node is not None else ""


def table_window(app):
    return find(app, lambda n: n.getRoleName() in ("dialog", "frame", "window", "filler") and n.name == "High Scores")


def cell_at(board, expect, timeout=3.0):
    """The announced cell, once it is the expected one (keys are handled asynchronously)."""
    deadline = time.monotonic() + timeout
    while True:
        m = CELL.search(board.name or "")
        if m:
            cell = (int(m.group(1)), int(m.group(2)), LAYERS[m.group(3)])
            if expect is None or cell == expect:
                size = int(m.group(5)) if m.group(5) else 0
                return cell, m.group(4), size
        if time.monotonic() > deadline:
            raise SystemExit("board says %r, expected %r" % (board.name, expect))
        time.sleep(0.02)


def main():
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    app = find_app("orbelix", 20)
    window = subprocess.run(["xdotool", "search", "--name", "^Orbelix$"], capture_output=True, text=True).stdout.split()[0]
    subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)
    time.sleep(0.5)

    # 13 colours through the colour-count button, reached with Tab.
    for _ in range(12):
        if focused_name(app).startswith("Colour count"):
            break
        key("Tab")
        time.sleep(0.1)
    while not focused_name(app).endswith("13 colours"):
        key("space")
        time.sleep(0.1)
    print("focused:", focused_name(app))
    key("s", "ctrl+n")
    time.sleep(0.5)
    board = find(app, lambda n: n.getRoleName() == "canvas")

    key("Right")  # shows the cursor at row 1, column 1, front
    at = cell_at(board, (1, 1, 1))[0]
    shot(out_dir, "cursor-front.png")
    key("l")
    at = cell_at(board, (1, 1, 2))[0]
    shot(out_dir, "cursor-middle.png")
    key("l")
    at = cell_at(board, (1, 1, 3))[0]
    shot(out_dir, "cursor-back.png")
    key("l")
    at = cell_at(board, (1, 1, 1))[0]

    # Every cell in walking order: layer by layer, row by row, along each row.
    order = [(r, c, l) for l in (1, 2, 3) for r in range(1, 11) for c in range(1, 11)]
    moves = 0
    start = 0
    while table_window(app) is None:
        # From where the last search stopped, once round the board, to a group of two or more.
        found = None
        for step in range(len(order)):
            index = (start + step) % len(order)
            target = order[index]
            while at[2] != target[2]:
                key("l")
                at = (at[0], at[1], at[2] % 3 + 1)
            moves_keys = []
            if at[1] != target[1]:
                moves_keys += ["Right" if at[1] < target[1] else "Left"] * abs(at[1] - target[1])
            if at[0] != target[0]:
                moves_keys += ["Down" if at[0] < target[0] else "Up"] * abs(at[0] - target[0])
            if moves_keys:
                key(*moves_keys)
            at = target
            _, colour, size = cell_at(board, target)
            if size >= 2:
                found = (target, colour, size)
                start = index
                break
        if not found:
            break
        moves += 1
        print("move %d: %s, %s, group of %d" % (moves, found[0], found[1], found[2]))
        if moves == 3:
            shot(out_dir, "symbols-13-colours.png")
        key("Return")
        time.sleep(0.2)
        if not board.getState().contains(pyatspi.STATE_SHOWING):
            break  # game over: the board is hidden for the pause

    deadline = time.monotonic() + 20
    while table_window(app) is None and time.monotonic() < deadline:
        time.sleep(0.2)
    if table_window(app) is None:
        print("the game ended without a place in the table")
        return 1
    key("k", "e", "y", "s", "Return")
    time.sleep(0.5)
    shot(out_dir, "table-after-keys.png")
    print("table as a screen reader reads it:")
    dump(table_window(app), 1)
    key("Escape")
    time.sleep(0.5)
    print("table closed:", table_window(app) is None)
    shot(out_dir, "after-table.png")
    return 0


if __name__ == "__main__":
    sys.exit(main())
