"""Reads the running vx414 window through AT-SPI, as a screen reader does.

Usage: accessibility.py read CODE:KIND...   the main window, LINK USB pressed through its
                                            accessible action, the result table's cells
       accessibility.py failure             the message box of a failed read
       accessibility.py windows             each window's role and name: the main window,
                                            the about box and the help window

Run by accessibility.sh on a private X server and D-Bus session. Prints one line per
check and exits 1 when any check failed.
"""

import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

failures = 0


def ok(text):
    print(f"accessibility: ok: {text}")


def fail(text):
    global failures
    failures += 1
    print(f"accessibility: FAIL: {text}")


def wait_for(seconds, probe):
    """Calls probe every 0.1 s until it returns something true; returns that or None."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            found = probe()
        except gi.repository.GLib.Error:
            found = None
        if found:
            return found
        time.sleep(0.1)
    return None


def children(node):
    return [node.get_child_at_index(i) for i in range(node.get_child_count())]


def showing(node):
    return node.get_state_set().contains(Atspi.StateType.SHOWING)


def descendants(node, roles, depth=0):
    """The showing descendants of node with one of roles; cells of tables are not walked."""
    found = []
    for child in children(node):
        if child is None or not showing(child):
            continue
        role = child.get_role_name()
        if role in roles:
            found.append(child)
        if role not in ("table", "list", "combo box") and depth < 8:
            found.extend(descendants(child, roles, depth + 1))
    return found


def application():
    desktop = Atspi.get_desktop(0)
    for app in children(desktop):
        if app is not None and app.get_name() == "vx414":
            return app
    return None


def top_level(app, prefix):
    for window in children(app):
        if window is not None and window.get_name().startswith(prefix) and showing(window):
            return window
    return None


def press(node):
    with warnings.catch_warnings():
        # Debian 12's AT-SPI has no newer name for this call.
        warnings.simplefilter("ignore", DeprecationWarning)
        names = [node.get_action_name(i) for i in range(node.get_n_actions())]
    index = names.index("Press") if "Press" in names else 0
    return node.do_action(index)


def table_cells(table):
    """The table's cell texts, row by row, through the Table interface."""
    rows = []
    for row in range(table.get_n_rows()):
        cells = []
        for column in range(table.get_n_columns()):
            cell = table.get_accessible_at(row, column)
            cells.append(cell.get_name().strip() if cell is not None else "")
        rows.append(cells)
    return rows


def check_read(expected):
    app = wait_for(20, application)
    if app is None:
        fail("no application 'vx414' on the accessibility bus")
        return
    window = wait_for(10, lambda: top_level(app, "CODE Definition"))
    if window is None:
        fail("no window 'CODE Definition' on the accessibility bus")
        return
    ok(f"window '{window.get_name()}'")

    controls = descendants(window, {"push button", "text", "combo box", "table", "label"})
    unnamed = [c.get_role_name() for c in controls if not c.get_name().strip()]
    if unnamed:
        fail(f"controls without a name: {', '.join(unnamed)}")
    else:
        ok(f"all {len(controls)} showing controls have a name")
    names = {(c.get_role_name(), c.get_name()) for c in controls}
    wanted = [("push button", n) for n in ("LINK USB", "Glossary", "HELP", "About", "EXIT")]
    wanted += [("text", "Code search"), ("label", "Vehicle Search"), ("label", "CODE Search")]
    for role, name in wanted:
        if (role, name) in names:
            ok(f"{role} '{name}'")
        else:
            fail(f"no {role} named '{name}'")

    link = [c for c in controls if c.get_role_name() == "push button" and c.get_name() == "LINK USB"]
    if not link:
        return
    press(link[0])

    def result_table():
        tables = [t for t in descendants(window, {"table"}) if t.get_name() == "Result table"]
        if not tables:
            return None
        rows = table_cells(tables[0])
        return rows if any(cell.startswith("Total") for row in rows for cell in row) else None

    rows = wait_for(15, result_table)
    if rows is None:
        fail("no showing 'Result table' with a total line after LINK USB")
        return
    ok(f"'Result table' shows {len(rows)} rows")
    for code, kind in expected:
        if any(code in row and kind in row for row in rows):
            ok(f"a row reads {kind} {code}")
        else:
            fail(f"no row reads {kind} {code}")
    total = f"Total: {len(expected)}"
    if any(total in row for row in rows):
        ok(f"the total line reads '{total}'")
    else:
        fail(f"no cell reads '{total}'")


def check_failure():
    app = wait_for(20, application)
    if app is None:
        fail("no application 'vx414' on the accessibility bus")
        return
    window = wait_for(10, lambda: top_level(app, "CODE Definition"))
    if window is None:
        fail("no window 'CODE Definition' on the accessibility bus")
        return
    link = [c for c in descendants(window, {"push button"}) if c.get_name() == "LINK USB"]
    if not link:
        fail("no push button 'LINK USB'")
        return
    press(link[0])

    def message_box():
        for top in children(app):
            if top is None or top is window or not showing(top):
                continue
            if top.get_role_name() in ("alert", "dialog"):
                return top
        return None

    box = wait_for(15, message_box)
    if box is None:
        fail("no message box on the accessibility bus after a failed read")
        return
    ok(f"message box '{box.get_name()}' ({box.get_role_name()})")
    if not box.get_name().strip():
        fail("the message box has no name")
    texts = [c.get_name() for c in descendants(box, {"label"}) if c.get_name().strip()]
    if texts:
        ok(f"its text reads '{texts[0]}'")
    else:
        fail("the message box has no readable text")
    buttons = {c.get_name(): c for c in descendants(box, {"push button"})}
    if "OK" in buttons:
        ok(f"its buttons: {', '.join(sorted(buttons))}")
        press(buttons["OK"])
        if wait_for(5, lambda: message_box() is None):
            ok("OK closed the message box")
        else:
            fail("the message box is still open after OK")
    else:
        fail(f"no button 'OK' among {sorted(buttons)}")


def check_windows():
    app = wait_for(20, application)
    if app is None:
        fail("no application 'vx414' on the accessibility bus")
        return
    window = wait_for(10, lambda: top_level(app, "CODE Definition"))
    if window is None:
        fail("no window 'CODE Definition' on the accessibility bus")
        return

    def expect_window(node, role, name):
        if node.get_role_name() == role and node.get_name() == name:
            ok(f"{role} '{name}'")
        else:
            fail(f"expected {role} '{name}', found {node.get_role_name()} '{node.get_name()}'")

    # The program reads the reader emulator here, and its title says so to a screen reader too.
    expect_window(window, "frame", "CODE Definition \u2014 demo: reader emulator")
    buttons = {c.get_name(): c for c in descendants(window, {"push button"})}
    for button, role, name in (("About", "dialog", "About VX-414"), ("HELP", "frame", "VX-414 Help")):
        if button not in buttons:
            fail(f"no push button '{button}'")
            continue
        press(buttons[button])
        # Found by the start of its name, so that a name said twice shows as a failure.
        opened = wait_for(10, lambda: top_level(app, name))
        if opened is None:
            fail(f"no window opened by '{button}'")
            continue
        expect_window(opened, role, name)


def main():
    if len(sys.argv) >= 2 and sys.argv[1] == "read":
        check_read([tuple(arg.split(":")) for arg in sys.argv[2:]])
    elif len(sys.argv) == 2 and sys.argv[1] == "failure":
        check_failure()
    elif len(sys.argv) == 2 and sys.argv[1] == "windows":
        check_windows()
    else:
        print(__doc__)
        return 2
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
