"""P6 and P7 of scripts/bench: page-to-page navigation, the client against a
bare QWebEngineView on a named profile. Both follow the stand-in's chain of
pages (/hop), each page clicking its own link a fixed delay after it has
loaded; the stand-in notes when each page was asked for, so the time per hop
is taken on the server's side, the same way for both."""

import os
import shutil
import statistics
import time
import urllib.request

from processes import Traced, end_tree, process_tree, pss_mib, xdotool

HOP_DELAY_MS = 30
# P6: hops per run, of which the first are the engine warming up.
P6_HOPS = 150
P6_SKIP = 30
# P7: a working day of clicks, with memory taken at these hops.
P7_HOPS = 2000
P7_MARKS = (100, 1000, P7_HOPS)
RUNS_PER_SIDE = 8


def hop_url(base, run, last):
    # The version goes last: the client stamps its own in and cuts after it.
    return f"{base}/hop?run={run}&n=0&last={last}&delay={HOP_DELAY_MS}&ver=100"


def accounts_lines():
    """Accounts that sign in to a hop chain, one per client run."""
    lines = []
    for key, last in (("p6", P6_HOPS), ("p7", P7_HOPS)):
        for k in range(RUNS_PER_SIDE):
            run = f"{key}-client-{k}"
            lines.append(f"{run} | demo123 | {hop_url('{base}', run, last)}")
    return lines


def arrivals(base, run):
    with urllib.request.urlopen(f"{base}/hops?run={run}", timeout=10) as reply:
        text = reply.read().decode()
    return [(int(h), float(ms)) for h, ms in (line.split() for line in text.splitlines())]


def per_hop_ms(points, skip):
    """The time per hop without the page's own delay, over the hops after
    `skip`: each hop's arrival after the one before it."""
    times = dict(points)
    return [times[h] - times[h - 1] - HOP_DELAY_MS for h in sorted(times) if h > skip and h - 1 in times]


def open_fds(pid):
    try:
        return len(os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return -1


def renderers(tree):
    """Renderers are forked by the engine's zygote: QtWebEngineProcess
    children of a QtWebEngineProcess."""
    names = {}
    parents = {}
    for pid, _ in tree:
        try:
            with open(f"/proc/{pid}/stat") as f:
                stat = f.read()
            names[pid] = stat[stat.index("(") + 1:stat.rindex(")")]
            parents[pid] = int(stat[stat.rindex(")") + 2:].split()[1])
        except OSError:
            pass
    engine = {pid for pid, name in names.items() if name.startswith("QtWebEngine")}
    return len([pid for pid in engine if parents.get(pid) in engine])


class HopBench:
    def __init__(self, bench):
        self.bench = bench
        self.p6 = {"client": [], "floor": []}
        self.p7 = {}
        self.view_size = None

    def follow(self, run, pid_of, last, marks=()):
        """Waits for the chain to reach `last`, taking the process tree's
        memory and descriptors at each mark; returns them by hop."""
        base = self.bench.base
        taken = {}
        deadline = time.monotonic() + 60 + last * 1.0
        while True:
            points = arrivals(base, run)
            reached = points[-1][0] if points else -1
            for mark in marks:
                if mark not in taken and reached >= mark:
                    # Settled first: the mark's page has loaded and idled.
                    time.sleep(0.5 if mark == last else 0)
                    tree = process_tree(pid_of())
                    taken[mark] = {"hop": reached, "pss": pss_mib(tree), "fds": open_fds(pid_of()),
                                   "renderers": renderers(tree)}
            if reached >= last and len(taken) == len(marks):
                return points, taken
            if time.monotonic() > deadline:
                raise RuntimeError(f"hop chain {run} stalled at hop {reached}")
            time.sleep(0.05)

    def run_client(self, key, k, last, marks=()):
        b = self.bench
        run = f"{key}-client-{k}"
        with open(os.path.join(b.program, "data.dat"), "wb") as f:
            f.write(run.encode() + b"\r\ndemo123")
        env, home = b.environment()
        traced = Traced([os.path.join(b.program, "kelumo")], env, b.program)
        tree = []
        try:
            traced.wait_for("dialog painted", 30)
            window = xdotool("search", "--sync", "--onlyvisible", "--pid", str(traced.proc.pid)).split("\n")[-1]
            xdotool("windowfocus", "--sync", window)
            xdotool("key", "Return")
            traced.wait_for("page loaded", 60)
            if self.view_size is None:
                self.view_size = self.client_view_size(traced.proc.pid)
            points, taken = self.follow(run, lambda: traced.proc.pid, last, marks)
            if traced.proc.poll() is not None:
                raise RuntimeError(f"the client ended during {run}")
            tree = process_tree(traced.proc.pid)
        finally:
            end_tree(traced, tree)
            shutil.rmtree(home, ignore_errors=True)
        return points, taken

    def client_view_size(self, pid):
        """The client's page area: its main window less the bars, as the
        client traces them."""
        size = (1000, 600)
        for wid in xdotool("search", "--onlyvisible", "--pid", str(pid)).split():
            geometry = xdotool("getwindowgeometry", wid)
            for line in geometry.splitlines():
                if "Geometry:" in line:
                    w, h = (int(x) for x in line.split()[-1].split("x"))
                    if w * h > size[0] * size[1] or size == (1000, 600):
                        size = (w, h)
        return size

    def run_floor(self, key, k, last, marks=()):
        b = self.bench
        run = f"{key}-floor-{k}"
        env, home = b.environment()
        width, height = self.floor_size()
        traced = Traced([os.path.join(b.bin, "bench-bare-webview"), hop_url(b.base, run, last),
                         "--profile", "bench", "--width", str(width), "--height", str(height)], env, b.bin)
        tree = []
        try:
            points, taken = self.follow(run, lambda: traced.proc.pid, last, marks)
            tree = process_tree(traced.proc.pid)
        finally:
            end_tree(traced, tree)
            shutil.rmtree(home, ignore_errors=True)
        return points, taken

    def floor_size(self):
        w, h = self.view_size or (1000, 600)
        # The client's window holds the toolbar strip and the status bar
        # around its view.
        return w, max(100, h - self.bench.args.bars_px)

    def bench_p6(self, rounds):
        for round_ in range(rounds):
            steps = [("client", self.run_client), ("floor", self.run_floor)]
            if round_ % 2:
                steps.reverse()
            for side, step in steps:
                points, _ = step("p6", round_, P6_HOPS)
                self.p6[side].append(statistics.median(per_hop_ms(points, P6_SKIP)))
            self.bench.log_round("P6", round_, rounds)

    def bench_p7(self):
        for side, step in (("client", self.run_client), ("floor", self.run_floor)):
            points, taken = step("p7", 0, P7_HOPS, P7_MARKS)
            self.p7[side] = {"marks": taken, "per_hop": statistics.median(per_hop_ms(points, P6_SKIP))}
            self.bench.log_round("P7 " + side, 0, 1)

    def growth(self, side):
        marks = self.p7[side]["marks"]
        return marks[P7_MARKS[-1]]["pss"] - marks[P7_MARKS[0]]["pss"]
