#!/usr/bin/env python3
"""Print what a screen reader sees of a running Orbelix: the AT-SPI tree with
each object's role, name, states, actions, value and text.

Run inside the D-Bus session of the game, with the accessibility bus up:

    dbus-run-session -- tools/atspi_session.sh build/orbelix

(atspi_session.sh starts Xvfb, the AT-SPI bus and registry, the game, and then
this script).  Needs python3-pyatspi and at-spi2-core.

    /usr/bin/python3 tools/atspi_dump.py [--app NAME] [--wait SECONDS]
"""

import argparse
import sys
import time

import pyatspi


def find_app(name, wait):
    deadline = time.monotonic() + wait
    while True:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name and app.name.lower() == name.lower():
                return app
        if time.monotonic() > deadline:
            return None
        time.sleep(0.2)


def describe(node):
    parts = ["[%s]" % node.getRoleName(), repr(node.name)]
    states = node.getState().getStates()
    shown = [pyatspi.stateToString(s) for s in states
             if s in (pyatspi.STATE_FOCUSABLE, pyatspi.STATE_FOCUSED, pyatspi.STATE_SHOWING)]
    if shown:
        parts.append("states=" + ",".join(shown))
    try:
        action = node.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        if names:
            parts.append("actions=" + ",".join(names))
    except NotImplementedError:
        pass
    try:
        parts.append("value=%g" % node.queryValue().currentValue)
    except NotImplementedError:
        pass
    if node.description:
        parts.append("description=%r" % node.description)
    return " ".join(parts)


def dump(node, depth=0, only_showing=True, out=sys.stdout):
    if node is None:
        return
    if only_showing and depth > 1 and not node.getState().contains(pyatspi.STATE_SHOWING):
        return
    print("  " * depth + describe(node), file=out)
    for i in range(node.childCount):
        dump(node.getChildAtIndex(i), depth + 1, only_showing, out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--app", default="orbelix")
    parser.add_argument("--wait", type=float, default=20.0)
    parser.add_argument("--all", action="store_true", help="also objects that are not showing")
    args = parser.parse_args()
    app = find_app(args.app, args.wait)
    if app is None:
        print("no application %r on the accessibility bus" % args.app, file=sys.stderr)
        return 1
    dump(app, only_showing=not args.all)
    return 0


if __name__ == "__main__":
    sys.exit(main())
