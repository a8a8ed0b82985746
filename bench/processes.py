"""The programs scripts/bench runs, as the driver and the hop chains both
see them: started with their trace lines collected, their process trees, the
memory those take, and their end. Only the standard library is used."""

import os
import signal
import subprocess
import threading
import time


class Traced:
    """A started program whose stderr trace lines are collected as they come."""

    def __init__(self, argv, env, cwd):
        self.exec_ms = time.time() * 1000.0
        self.proc = subprocess.Popen(argv, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.moments = {}
        self.lines = []
        self.cond = threading.Condition()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.proc.stderr:
            line = raw.decode("utf-8", "replace").rstrip("\n")
            with self.cond:
                self.lines.append(line)
                parts = line.split(" ", 2)
                if len(parts) == 3 and parts[0] == "kelumo-trace":
                    self.moments.setdefault(parts[2], float(parts[1]))
                self.cond.notify_all()
        with self.cond:
            self.cond.notify_all()

    def wait_for(self, moment, timeout):
        deadline = time.monotonic() + timeout
        with self.cond:
            while moment not in self.moments:
                left = deadline - time.monotonic()
                if left <= 0 or (self.proc.poll() is not None and not self.reader.is_alive()):
                    tail = "\n".join(self.lines[-15:])
                    raise RuntimeError(f"no '{moment}' from {self.proc.args[0]}:\n{tail}")
                self.cond.wait(min(left, 0.2))
            return self.moments[moment]

    def since_exec(self, moment):
        return self.moments[moment] - self.exec_ms


def process_start_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        stat = f.read()
    return int(stat[stat.rindex(")") + 2:].split()[19])


def process_tree(root):
    """The root and all its descendants, with their start ticks (to tell a
    process from a later one that got the same id)."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        children.setdefault(int(fields[1]), []).append((int(entry), int(fields[19])))
    tree = []
    try:
        tree.append((root, process_start_ticks(root)))
    except OSError:
        return tree
    todo = [root]
    while todo:
        for child in children.get(todo.pop(), []):
            tree.append(child)
            todo.append(child[0])
    return tree


def pss_mib(tree):
    total_kib = 0
    for pid, _ in tree:
        try:
            with open(f"/proc/{pid}/smaps_rollup") as f:
                for line in f:
                    if line.startswith("Pss:"):
                        total_kib += int(line.split()[1])
                        break
        except OSError:
            pass
    return total_kib / 1024.0


def end_tree(traced, tree):
    """Stops a program and whatever it started, each by its own id."""
    if traced.proc.poll() is None:
        traced.proc.terminate()
        try:
            traced.proc.wait(10)
        except subprocess.TimeoutExpired:
            traced.proc.kill()
            traced.proc.wait()
    deadline = time.monotonic() + 5
    for pid, ticks in tree:
        if pid == traced.proc.pid:
            continue
        while True:
            try:
                same = process_start_ticks(pid) == ticks
            except OSError:
                break
            if not same:
                break
            if time.monotonic() > deadline:
                try:
                    os.kill(pid, signal.SIGKILL)
                except OSError:
                    pass
                break
            time.sleep(0.05)
    traced.reader.join(5)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          text=True, timeout=30).stdout.strip()
