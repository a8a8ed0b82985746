#!/usr/bin/python3
"""The client in a Wayland session with no X server at all: under a headless
weston it runs on Wayland itself, its dialog paints, the login button
(pressed through AT-SPI, as there is no xdotool on Wayland) signs in with the
saved sign-in, and the main window shows the start page. With an X server
as well (XWayland) it runs on X."""

import time

import desktop


def test(bin_dir):
    with desktop.Session(bin_dir) as s:
        s.start_bus()
        s.start_atspi()
        s.start_weston()
        s.start_standin()
        import pyatspi
        from gi.repository import GLib

        def pump(seconds, until):
            end = time.monotonic() + seconds
            context = GLib.MainContext.default()
            while True:
                while context.iteration(False):
                    pass
                if until():
                    return True
                if time.monotonic() > end:
                    return False
                time.sleep(0.05)

        client = s.start_client(saved_sign_in=b"demo\r\ndemo123")
        assert s.wait_trace("dialog painted"), s.client_lines()
        assert "qt.qpa" not in s.client_lines(), s.client_lines()
        # On the screen: the login button's dark red field (78 x 26 pixels).
        assert desktop.wait_until(lambda: s.wayland_pixels("#950000") > 1500, 10), s.wayland_pixels("#950000")

        def find(role, name):
            desktop_node = pyatspi.Registry.getDesktop(0)
            for i in range(desktop_node.childCount):
                app = desktop_node.getChildAtIndex(i)
                try:
                    if app is None or app.get_process_id() != client.pid:
                        continue
                except Exception:
                    continue
                for n in desktop.descendants(app):
                    if n.getRole() == role and (name is None or n.name == name):
                        return n
            return None

        # Roles by their number: their names change between AT-SPI releases.
        button = pyatspi.ROLE_PUSH_BUTTON
        assert pump(20, lambda: find(button, "登录") is not None), "no login button on the AT-SPI bus"
        find(button, "登录").queryAction().doAction(0)
        assert s.wait_trace("signed in"), s.client_lines()
        assert s.wait_trace("page loaded"), s.client_lines()
        assert s.wait_trace("main window painted"), s.client_lines()
        # The stand-in notes a request once its answer has gone out.
        assert desktop.wait_until(lambda: "/start?user=demo&ver=430" in s.standin_lines(), 10), s.standin_lines()
        assert pump(30, lambda: find(pyatspi.ROLE_HEADING, "欢迎, demo") is not None), "the start page is not shown"
        assert client.poll() is None, s.client_lines()
        client.terminate()
        client.wait(10)

        # With XWayland beside the compositor the client takes X, where the
        # dialog is centred on the screen.
        s.start_x()
        client = s.start_client()
        assert s.wait_trace("dialog painted"), s.client_lines()
        window = s.client_window()
        geometry = s.xdotool("getwindowgeometry", window)
        assert "Position: 378,245" in geometry and "Geometry: 609x278" in geometry, geometry
        s.xdotool("windowfocus", "--sync", window)
        s.xdotool("key", "Escape")
        client.wait(10)


if __name__ == "__main__":
    desktop.main(test)
