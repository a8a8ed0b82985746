"""The desktop pieces the end-to-end scripts run the client among: a private
session bus without activation, the AT-SPI bus, an X server with a window
manager, a Wayland compositor, an input method, the platform stand-in and the
client itself. Every piece is ended when the session ends.

A script exits 77 (skipped) only when a piece cannot start at all."""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
# Starts the stand-in and answers with its address once it listens.
START_STANDIN = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "standin",
                             "start-standin")


class Skip(Exception):
    pass


def descendants(node):
    """Every accessible below `node`, depth first, as a screen reader walks them."""
    out = []
    for i in range(node.childCount if node else 0):
        child = node.getChildAtIndex(i)
        if child is not None:
            out.append(child)
            out.extend(descendants(child))
    return out


def wait_until(predicate, timeout, step=0.1):
    """True once predicate() is, False after `timeout` seconds."""
    end = time.monotonic() + timeout
    while True:
        if predicate():
            return True
        if time.monotonic() > end:
            return False
        time.sleep(step)


class Session:
    def __init__(self, bin_dir):
        self.bin_dir = bin_dir
        self.root = tempfile.mkdtemp(prefix="kelumo-e2e-")
        self.runtime = os.path.join(self.root, "runtime")
        os.mkdir(self.runtime, 0o700)
        self.env = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM",
                     "QT_IM_MODULE", "XMODIFIERS", "GTK_IM_MODULE", "AT_SPI_BUS_ADDRESS"):
            self.env.pop(name, None)
        home = os.path.join(self.root, "home")
        self.env.update({
            "XDG_RUNTIME_DIR": self.runtime,
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_DATA_HOME": os.path.join(home, ".local/share"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
        })
        os.makedirs(self.env["XDG_CONFIG_HOME"])
        self.processes = []

    # -- plumbing -------------------------------------------------------------

    def spawn(self, args, env=None, **kwargs):
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        process = subprocess.Popen(args, env=env or self.env, start_new_session=True, **kwargs)
        self.processes.append(process)
        return process

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for process in reversed(self.processes):
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait(5)
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def run(self, args, timeout=10, cwd=None):
        return subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=timeout, cwd=cwd)

    # -- desktop pieces -------------------------------------------------------

    def start_bus(self):
        """A session bus of our own that starts nothing by itself."""
        if not shutil.which("dbus-daemon"):
            raise Skip("dbus-daemon missing")
        config = os.path.join(self.root, "session.conf")
        with open(config, "w") as f:
            f.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                    " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                    "<busconfig><type>session</type>"
                    f"<listen>unix:dir={self.runtime}</listen>"
                    "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
        bus = self.spawn(["dbus-daemon", "--config-file", config, "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE, text=True)
        address = bus.stdout.readline().strip()
        if not address:
            raise Skip("the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = address

    def bus_has(self, name):
        reply = self.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
                          "org.freedesktop.DBus.NameHasOwner", f"string:{name}"])
        return "boolean true" in reply.stdout

    def start_atspi(self):
        """The accessibility bus. The desktop's "screen reader on" lives in its
        settings store, which this machine has not: Qt's bridge is told to
        stay on instead."""
        launcher = "/usr/libexec/at-spi-bus-launcher"
        if not os.access(launcher, os.X_OK):
            raise Skip("at-spi2-core missing")
        self.spawn([launcher])
        if not wait_until(lambda: self.bus_has("org.a11y.Bus"), 10):
            raise Skip("the AT-SPI bus did not start")
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"

    def start_x(self):
        """Xvfb on a free display, with openbox."""
        if not shutil.which("Xvfb") or not shutil.which("openbox"):
            raise Skip("Xvfb or openbox missing")
        read_end, write_end = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1366x768x24", "-nolisten", "tcp"],
                   pass_fds=(write_end,))
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as f:
            number = f.readline().strip()
        if not number:
            raise Skip("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode()
        self.spawn(["openbox", "--sm-disable"])
        if not wait_until(lambda: "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]).stdout,
                          10):
            raise Skip("openbox did not start")

    def start_weston(self):
        """A headless Wayland compositor, and no X server."""
        if not shutil.which("weston"):
            raise Skip("weston missing")
        socket = "kelumo-wayland"
        self.weston = self.spawn(["weston", "--backend=headless-backend.so", "--use-pixman", "--socket=" + socket,
                                  "--idle-time=0", "--width=1366", "--height=768", "--debug"])
        if not wait_until(lambda: os.path.exists(os.path.join(self.runtime, socket)), 10):
            raise Skip("weston did not start")
        self.env["WAYLAND_DISPLAY"] = socket
        self.env["XDG_SESSION_TYPE"] = "wayland"

    def wayland_pixels(self, colour):
        """How many pixels of the compositor's screen have `colour` (with a
        little tolerance); --debug lets weston-screenshooter take the screen."""
        folder = tempfile.mkdtemp(dir=self.root)
        self.run(["weston-screenshooter"], cwd=folder)
        shots = os.listdir(folder)
        if not shots:
            return 0
        out = self.run(["convert", os.path.join(folder, shots[0]), "-fuzz", "4%", "-fill", "black", "+opaque",
                        colour, "-fill", "white", "-opaque", colour, "-format", "%[fx:round(mean*w*h)]", "info:"])
        return int(out.stdout.strip() or 0)

    def start_fcitx(self, default_im="wbx"):
        """fcitx5 on the private bus: US keyboard and one Chinese input method."""
        if not shutil.which("fcitx5"):
            raise Skip("fcitx5 missing")
        folder = os.path.join(self.env["XDG_CONFIG_HOME"], "fcitx5")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "profile"), "w") as f:
            f.write("[Groups/0]\nName=Default\nDefault Layout=us\nDefaultIM=" + default_im + "\n\n"
                    "[Groups/0/Items/0]\nName=keyboard-us\nLayout=\n\n"
                    "[Groups/0/Items/1]\nName=" + default_im + "\nLayout=\n\n"
                    "[GroupOrder]\n0=Default\n")
        self.spawn(["fcitx5"], stdout=open(os.path.join(self.root, "fcitx5.log"), "w"), stderr=subprocess.STDOUT)
        if not wait_until(lambda: self.bus_has("org.fcitx.Fcitx5"), 15):
            raise Skip("fcitx5 did not start")
        self.env["QT_IM_MODULE"] = "fcitx"

    def fcitx_remote(self, *args):
        return self.run(["fcitx5-remote", *args]).stdout.strip()

    # -- the platform and the client --------------------------------------

    def start_standin(self, accounts=None):
        args = [START_STANDIN, os.path.join(self.bin_dir, "kelumo-standin"), "--port", "0"]
        if accounts is not None:
            path = os.path.join(self.root, "accounts.txt")
            with open(path, "w", encoding="utf-8") as f:
                f.write(accounts)
            args += ["--accounts", path]
        self.standin_log = os.path.join(self.root, "standin.log")
        standin = self.spawn(args, stdout=subprocess.PIPE, stderr=open(self.standin_log, "w"), text=True)
        self.base = standin.stdout.readline().strip()
        if not self.base:
            raise AssertionError("the stand-in did not start: " + self.standin_lines())
        return self.base

    def standin_lines(self):
        with open(self.standin_log, encoding="utf-8", errors="replace") as f:
            return f.read()

    def program_folder(self, saved_sign_in=None):
        folder = os.path.join(self.root, "program")
        if not os.path.isdir(folder):
            os.makedirs(os.path.join(folder, "Res"))
            for name in ("kelumo", "kelumo_browser_module.so", "kelumo_service_module.so", "error"):
                shutil.copy2(os.path.join(self.bin_dir, name), folder)
            shutil.copy2(os.path.join(self.bin_dir, "Res", "LoginBG.bmp"), os.path.join(folder, "Res"))
        data = os.path.join(folder, "data.dat")
        if saved_sign_in is None:
            if os.path.exists(data):
                os.remove(data)
        else:
            with open(data, "wb") as f:
                f.write(saved_sign_in)
        return folder

    def start_client(self, saved_sign_in=None, extra_env=None):
        folder = self.program_folder(saved_sign_in)
        env = dict(self.env)
        env.update({
            "KELUMO_LOGIN_ENDPOINT": self.base + "/Services/CheckUserLogin.asmx",
            "KELUMO_SITE": self.base,
            "KELUMO_TRACE": "1",
        })
        env.pop("QT_LOGGING_RULES", None)
        env.update(extra_env or {})
        self.client_log = os.path.join(self.root, "client.log")
        self.client = self.spawn([os.path.join(folder, "kelumo")], env=env, cwd=folder,
                                 stderr=open(self.client_log, "w"))
        return self.client

    def client_lines(self):
        with open(self.client_log, encoding="utf-8", errors="replace") as f:
            return f.read()

    def traced(self, moment):
        pattern = re.compile(r"^kelumo-trace [0-9.]+ " + re.escape(moment) + r"$", re.M)
        return len(pattern.findall(self.client_lines()))

    def wait_trace(self, moment, nth=1, timeout=60):
        if not wait_until(lambda: self.traced(moment) >= nth or self.client.poll() is not None, timeout):
            return False
        return self.traced(moment) >= nth

    def xdotool(self, *args):
        return self.run(["xdotool", *args]).stdout.strip()

    def client_window(self):
        ids = self.xdotool("search", "--sync", "--onlyvisible", "--pid", str(self.client.pid)).split()
        return ids[-1] if ids else ""


def main(test):
    """Runs test(bin_dir), reporting a skip as 77 and a failure as 1."""
    bin_dir = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("KELUMO_BIN_DIR", "build/bin")
    try:
        test(bin_dir)
    except Skip as skip:
        print("SKIP:", skip)
        sys.exit(SKIP)
    print("PASS")
