"""A desktop keyring for the bench: a session bus of its own that starts
nothing by itself, a real Secret Service on it (gnome-keyring, unlocked) and
the demo account's password kept there as the client keeps it."""

import os
import shutil
import subprocess
import time

SCHEMA = "com.kelumo.SignIn"


class Keyring:
    def __init__(self, root):
        self.processes = []
        self.env = None
        try:
            self.start(root)
        except BaseException:
            self.close()
            raise

    def start(self, root):
        folder = os.path.join(root, "keyring-bus")
        os.mkdir(folder, 0o700)
        config = os.path.join(root, "keyring-bus.conf")
        with open(config, "w") as f:
            f.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                    " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                    f"<busconfig><type>session</type><listen>unix:dir={folder}</listen>"
                    "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                    "</busconfig>\n")
        bus = self.spawn(["dbus-daemon", "--config-file", config, "--nofork", "--print-address=1"],
                         dict(os.environ), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        address = bus.stdout.readline().strip()
        if not address:
            raise RuntimeError("the keyring's session bus did not start")
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address, HOME=os.path.join(root, "keyring-home"))
        os.mkdir(env["HOME"])
        daemon = self.spawn(["gnome-keyring-daemon", "--unlock", "--components=secrets", "--foreground"], env,
                            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
        daemon.stdin.write(b"bench keyring")
        daemon.stdin.close()
        deadline = time.monotonic() + 10
        while not self.has_service(env):
            if time.monotonic() > deadline:
                raise RuntimeError("gnome-keyring did not answer on the bus")
            time.sleep(0.05)
        subprocess.run(["secret-tool", "store", "--label=bench", "xdg:schema", SCHEMA, "application", "kelumo",
                        "account", "demo"], env=env, input=b"demo123", check=True, timeout=10)
        self.env = {"DBUS_SESSION_BUS_ADDRESS": address}

    @staticmethod
    def available():
        return all(shutil.which(tool) for tool in ("dbus-daemon", "gnome-keyring-daemon", "secret-tool"))

    def spawn(self, argv, env, **kwargs):
        process = subprocess.Popen(argv, env=env, **kwargs)
        self.processes.append(process)
        return process

    @staticmethod
    def has_service(env):
        reply = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
                                "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.secrets"],
                               env=env, capture_output=True, text=True, timeout=10)
        return "boolean true" in reply.stdout

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
