#!/usr/bin/python3
"""Reads a running program's widgets over AT-SPI, as a screen reader does.

Usage: accessible_tree.py APPLICATION COMMAND...
  APPLICATION      the program's name, or pid:N for the program running as process N
                   (two copies of one program may run at once)
  tree             print every object as a JSON line: name, role, states, description
  press NAME       press the showing button called NAME
  wait NAME        wait until a showing object is called NAME
Run it with Debian's /usr/bin/python3, which has the pyatspi module.
"""
import json
import sys
import time

import pyatspi

TIMEOUT_SECONDS = 10.0


def is_application(application, name):
    if name.startswith("pid:"):
        return application.get_process_id() == int(name[4:])
    return application.name == name


def find_application(name):
    deadline = time.monotonic() + TIMEOUT_SECONDS
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for application in desktop:
            if application is not None and is_application(application, name):
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


def showing_named(application, name):
    for node in walk(application):
        if node.name == name and node.getState().contains(pyatspi.STATE_SHOWING):
            return node
    return None


def wait_for(application, name):
    deadline = time.monotonic() + TIMEOUT_SECONDS
    while time.monotonic() < deadline:
        node = showing_named(application, name)
        if node is not None:
            return node
        time.sleep(0.1)
    raise SystemExit(f"accessible_tree: nothing called {name!r} is showing")


def main(arguments):
    if len(arguments) < 2:
        raise SystemExit(__doc__)
    application = find_application(arguments[0])
    commands = arguments[1:]
    while commands:
        command = commands.pop(0)
        if command == "tree":
            for node in walk(application):
                print(json.dumps(describe(node)))
        elif command == "press":
            node = wait_for(application, commands.pop(0))
            node.queryAction().doAction(0)
        elif command == "wait":
            wait_for(application, commands.pop(0))
        else:
            raise SystemExit(f"accessible_tree: unknown command {command!r}")
    sys.stdout.flush()


if __name__ == "__main__":
    main(sys.argv[1:])
