#!/usr/bin/env python3
"""Takes the README's screenshot: the tool in a private X server with the example lists, a
picture composed with marchers, ears, cheering figures and sign bearers, a template shown in the
right-hand panel.

    screenshot.py PROGRAM EXAMPLES_DIR OUTPUT_PNG"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

from x_session import App, Failure, XServer, missing_tools, wait_until


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    program, examples, output = (os.path.abspath(a) for a in sys.argv[1:])
    missing = missing_tools() + ([] if shutil.which("import") else ["import (imagemagick)"])
    if missing:
        print(f"missing tools: {', '.join(missing)} (scripts/install-deps.sh installs them)")
        return 1

    # A copy, so that the position file written on closing never lands in the examples.
    workdir = tempfile.mkdtemp(prefix="koron-shot-")
    for name in ("AAList_01.txt", "AAList_02.txt"):
        shutil.copy(os.path.join(examples, name), workdir)
    server = app = None
    try:
        server = XServer(workdir, 800, 400)
        app = App(server, program, workdir)
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
