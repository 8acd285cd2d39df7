#!/usr/bin/python3
"""Prints the accessibility tree of a running program as AT-SPI shows it.

Usage: accessibility_tree.py APPLICATION_NAME [WAIT_FOR [SECONDS]]

Waits up to SECONDS (default 30) for the application to appear on the
accessibility bus with an object whose line holds WAIT_FOR (default: the
Options button), then prints one line per showing object, indented by depth:
    role<TAB>name<TAB>focusable|-<TAB>text
Exit status 0 when printed, 3 when the application never appeared, 4 when
AT-SPI cannot be used at all.
"""
import sys
import time

try:
    import pyatspi
except ImportError:
    sys.exit(4)


def find_application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        application = desktop.getChildAtIndex(index)
        if application is not None and application.name == name:
            return application
    return None


def text_of(node):
    try:
        text = node.queryText()
        return text.getText(0, text.characterCount).replace("\n", "\\n")
    except NotImplementedError:
        return ""
    except Exception:
        return ""


def walk(node, depth, out):
    states = node.getState()
    if depth > 0 and not states.contains(pyatspi.STATE_SHOWING):
        return
    focusable = "focusable" if states.contains(pyatspi.STATE_FOCUSABLE) else "-"
    out.append("%s%s\t%s\t%s\t%s" % ("  " * depth, node.getRoleName(), node.name, focusable, text_of(node)))
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            walk(child, depth + 1, out)


def main():
    name = sys.argv[1]
    wait_for = sys.argv[2] if len(sys.argv) > 2 else "push button\tOptions"
    deadline = time.time() + (float(sys.argv[3]) if len(sys.argv) > 3 else 30.0)
    while time.time() < deadline:
        try:
            application = find_application(name)
        except Exception:
            application = None
        if application is not None and application.childCount > 0:
            lines = []
            walk(application, 0, lines)
            if any(wait_for in line for line in lines):
                print("\n".join(lines))
                return 0
        time.sleep(0.5)
    return 3


if __name__ == "__main__":
    sys.exit(main())
