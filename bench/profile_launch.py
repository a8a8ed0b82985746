#!/usr/bin/python3
"""Takes the launch of the login dialog apart: runs variants of
bench-dialog-parts (and the client) interleaved and prints, per variant, the
median time from exec to each trace moment. A profiling aid for the P2 row of
scripts/bench; run it under an X server:

    xvfb-run -a -s "-screen 0 1366x768x24" bench/profile_launch.py BIN_DIR [ROUNDS]
"""

import os
import shutil
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from processes import Traced, end_tree  # noqa: E402


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    root = tempfile.mkdtemp(prefix="kelumo-launch.")
    runtime = os.path.join(root, "runtime")
    os.mkdir(runtime, 0o700)
    program = bin_dir + "/"
    parts = os.path.join(bin_dir, "bench-dialog-parts")
    variants = {
        "bare dialog (floor)": [parts],
        "bare + one line of Chinese text": [parts, "--text"],
        "bare + one line edit in the CJK face": [parts, "--edit"],
        "bare + AA_ShareOpenGLContexts": [parts, "--share-gl"],
        "bare + web engine linked": [parts + "-webengine"],
        "CLogin": [parts, "--login", program],
        "CLogin + app font/icon": [parts, "--login", program, "--app-font"],
        "CLogin + app font/icon, no style sheet": [parts, "--login", program, "--app-font", "--no-style-sheet"],
        "CLogin + app font/icon + engine linked": [parts + "-webengine", "--login", program, "--app-font"],
        "client (kelumo)": [os.path.join(bin_dir, "kelumo")],
    }
    times = {name: {} for name in variants}
    try:
        for round_ in range(rounds + 1):
            names = list(variants) if round_ % 2 == 0 else list(reversed(variants))
            for name in names:
                home = tempfile.mkdtemp(dir=root)
                env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/.config",
                           XDG_DATA_HOME=home + "/.local/share", XDG_CACHE_HOME=home + "/.cache",
                           XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb", KELUMO_TRACE="1")
                if os.geteuid() == 0:
                    env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
                run = Traced(variants[name], env, bin_dir)
                try:
                    run.wait_for("dialog painted", 30)
                finally:
                    end_tree(run, [])
                    shutil.rmtree(home, ignore_errors=True)
                if round_ == 0:
                    continue  # warms the page cache
                for moment in run.moments:
                    times[name].setdefault(moment, []).append(run.since_exec(moment))
    finally:
        shutil.rmtree(root, ignore_errors=True)

    print(f"median ms from exec, {rounds} runs each")
    print(f"{'variant':42} {'start':>8} {'app':>8} {'painted':>8}")
    for name, moments in times.items():
        cells = [statistics.median(moments[m]) if m in moments else float("nan")
                 for m in ("start", "application", "dialog painted")]
        print(f"{name:42} " + " ".join(f"{c:8.1f}" for c in cells))


if __name__ == "__main__":
    main()
