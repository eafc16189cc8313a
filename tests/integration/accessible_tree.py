#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a running program's widgets over AT-SPI, as a screen reader does.

Usage: accessible_tree.py APPLICATION
  prints every object of the program called APPLICATION as a JSON line: name, role,
  states, description
Run it with Debian's /usr/bin/python3, which has the pyatspi module.
"""
import json
import sys
import time

import pyatspi

TIMEOUT_SECONDS = 10.0


def find_application(name):
    deadline = time.monotonic() + TIMEOUT_SECONDS
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for application in desktop:
            if application is not None and application.name == name:
                return application
        time.sleep(0.2)
    raise SystemExit(f"accessible_tree: no application {name!r} on the accessibility bus")


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def describe(node):
    states = node.getState()
    return {
        "name": node.name,
        "role": node.getRoleName(),
        "description": node.description,
        "showing": states.contains(pyatspi.STATE_SHOWING),
        "enabled": states.contains(pyatspi.STATE_ENABLED),
    }


def main(arguments):
    if len(arguments) != 1:
        raise SystemExit(__doc__)
    for node in walk(find_application(arguments[0])):
        print(json.dumps(describe(node)))
    sys.stdout.flush()


if __name__ == "__main__":
    main(sys.argv[1:])
