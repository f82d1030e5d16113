#!/usr/bin/env python3
"""Takes the README's screenshot: the tool in a private X server with the example lists, a
picture composed with marchers, ears, cheering figures and sign bearers, a template shown in the
right-hand panel.

    screenshot.py PROGRAM EXAMPLES_DIR OUTPUT_PNG

With --library, takes the library window ＡＡ庫 instead, over the example collections in
EXAMPLES_DIR/AA (or, with --empty, over no collection at all), the first entry chosen."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

from x_session import LIBRARY_TITLE, App, Failure, XServer, missing_tools, wait_until


# The tree's rows down to 見本.mlt (すべて, the history, the favourites, the two lists), and the
# picture chosen in it.
MLT_NODE = 5
MLT_PICTURE = 1


def library_window(server, app, output):
    app.focus()
    app.keys("ctrl+l")
    library = app.wait_for_window(LIBRARY_TITLE)
    # Down reaches the entries once they are indexed; Ctrl+C then puts the chosen one on the
    # clipboard, which says the window has filled in.
    def chosen():
        app.keys("Down", "ctrl+c")
        time.sleep(0.3)
        return server.clipboard_text()
    wait_until("the library's entries", chosen, 30)
    # The MLT example, whose section headings show in the flow, and a picture from it.
    # Enter uses it, so that the status line tells of it.
    app.keys("shift+Tab", *(["Down"] * MLT_NODE), "Tab", *(["Right"] * MLT_PICTURE), "Return")
    time.sleep(1)
    subprocess.run(["import", "-display", server.display, "-window", str(library.id), output],
                   check=True, timeout=60)


def main():
    args = sys.argv[1:]
    library, empty = "--library" in args, "--empty" in args
    args = [a for a in args if a not in ("--library", "--empty")]
    if len(args) != 3:
        print(__doc__)
        return 2
    program, examples, output = (os.path.abspath(a) for a in args)
    missing = missing_tools() + ([] if shutil.which("import") else ["import (imagemagick)"])
    if missing:
        print(f"missing tools: {', '.join(missing)} (scripts/install-deps.sh installs them)")
        return 1

    # A copy, so that the position file written on closing never lands in the examples.
    workdir = tempfile.mkdtemp(prefix="koron-shot-")
    # The lists are in the library too: an empty library has neither them nor AA/.
    if not empty:
        for name in ("AAList_01.txt", "AAList_02.txt"):
            shutil.copy(os.path.join(examples, name), workdir)
    if library and not empty:
        shutil.copytree(os.path.join(examples, "AA"), os.path.join(workdir, "AA"))
    server = app = None
    try:
        server = XServer(workdir, *((1280, 800) if library else (800, 400)))
        app = App(server, program, workdir)
        if library:
            if empty:
                # Nothing to choose: the window's own words say why it is empty.
                app.focus()
                app.keys("ctrl+l")
                shown = app.wait_for_window(LIBRARY_TITLE)
                time.sleep(2)
                subprocess.run(["import", "-display", server.display, "-window", str(shown.id),
                                output], check=True, timeout=60)
            else:
                library_window(server, app, output)
            print(f"wrote {output}")
            return 0
        app.focus()
        app.type_into("Combo2", "3")
        app.choose("Combo1", 1)
        app.click("Check2", dx=8)
        app.type_into("Combo5", "2")
        app.type_into("Combo6", "2")
        app.click("Command1")
        app.choose("Combo4", 0)
        app.click("Command4")
        # The copy runs after both handlers, so text on the clipboard means both have finished.
        app.click("Command2")
        wait_until("the composed picture", lambda: server.clipboard_text(), 30)
        app.click("TextAA2")  # leaves the focus in a text box, not on a button
        time.sleep(1)
        subprocess.run(["import", "-display", server.display, "-window", str(app.main.id),
                        output], check=True, timeout=60)
        print(f"wrote {output}")
        return 0
    except Failure as e:
        print(f"FAIL {e}")
        if app is not None:
            print(app.log())
        return 1
    finally:
        if app is not None:
            app.stop()
        if server is not None:
            server.stop()
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
