#!/usr/bin/python3
"""The program's window as a screen reader meets it over AT-SPI.

usage: walk.py [--app NAME] [--timeout SECONDS] [KEY]

Finds the application NAME (default "Norla Keys NK-7X") on the accessibility bus, walks its tree
through what is showing, and prints one line of JSON: the visible interactive controls counted by
role, and those without a name (with the name of their parent, to tell where they are). With KEY,
it then presses the button of that name in the keyboard picture through its "Press" action and
prints a second line: {"pressed": KEY, "ok": true|false}.

Exit code: 0 when the application was found (and KEY, if given, pressed), 1 otherwise.
"""

import argparse
import json
import sys
import time

import pyatspi

INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON: "push button",
    pyatspi.ROLE_CHECK_BOX: "check box",
    pyatspi.ROLE_RADIO_BUTTON: "radio button",
    pyatspi.ROLE_COMBO_BOX: "combo box",
    pyatspi.ROLE_SLIDER: "slider",
    pyatspi.ROLE_SPIN_BUTTON: "spin button",
    pyatspi.ROLE_TEXT: "text",
    pyatspi.ROLE_ENTRY: "entry",
    pyatspi.ROLE_PAGE_TAB: "page tab",
    pyatspi.ROLE_LIST_ITEM: "list item",
    pyatspi.ROLE_TOGGLE_BUTTON: "toggle button",
}

# Deeper than any real window; guards against a tree that loops.
MAX_DEPTH = 64


def find_app(name, timeout):
    """The application once it is on the bus with a window, or None when the time runs out."""
    end = time.monotonic() + timeout
    while True:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            try:
                app = desktop.getChildAtIndex(i)
                if app is not None and app.name == name and app.childCount > 0:
                    return app
            except Exception:  # an application leaving the bus while it is asked
                continue
        if time.monotonic() >= end:
            return None
        time.sleep(0.1)


def showing(obj):
    """What a screen reader presents: showing and visible (an invisible parent hides its children)."""
    states = obj.getState()
    return states.contains(pyatspi.STATE_SHOWING) and states.contains(pyatspi.STATE_VISIBLE)


def walk(obj, visit, parent_name="", depth=0):
    if obj is None or depth > MAX_DEPTH:
        return
    try:
        if depth > 0 and not showing(obj):
            return
        visit(obj, parent_name)
        name = obj.name
        children = [obj.getChildAtIndex(i) for i in range(obj.childCount)]
    except Exception as e:  # an object gone while walking: said, not fatal
        print("walk.py: %s" % e, file=sys.stderr)
        return
    for child in children:
        walk(child, visit, name or parent_name, depth + 1)


def survey(app):
    counts = {}
    unnamed = []

    def visit(obj, parent_name):
        role = INTERACTIVE.get(obj.getRole())
        if role is None:
            return
        counts[role] = counts.get(role, 0) + 1
        if not (obj.name or "").strip():
            unnamed.append({"role": role, "parent": parent_name})

    for i in range(app.childCount):
        walk(app.getChildAtIndex(i), visit)
    return {"app": app.name, "total": sum(counts.values()), "counts": counts, "unnamed": unnamed}


def find_key(app, key):
    """The push button called `key` in the keyboard picture (a cap; its LED has a longer name)."""
    found = []

    def visit(obj, parent_name):
        if not found and obj.getRole() == pyatspi.ROLE_PUSH_BUTTON and obj.name == key:
            found.append(obj)

    for i in range(app.childCount):
        walk(app.getChildAtIndex(i), visit)
    return found[0] if found else None


def press(obj):
    try:
        action = obj.queryAction()
    except NotImplementedError:
        return False
    for i in range(action.nActions):
        if action.getName(i) == "Press":
            return bool(action.doAction(i))
    return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", default="Norla Keys NK-7X")
    parser.add_argument("--timeout", type=float, default=10.0)
    parser.add_argument("key", nargs="?")
    args = parser.parse_args()

    app = find_app(args.app, args.timeout)
    if app is None:
        print(json.dumps({"error": "no application %r on the accessibility bus" % args.app}))
        return 1
    print(json.dumps(survey(app)), flush=True)
    if args.key is None:
        return 0
    key = find_key(app, args.key)
    ok = key is not None and press(key)
    print(json.dumps({"pressed": args.key, "found": key is not None, "ok": ok}), flush=True)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
