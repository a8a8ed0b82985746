#!/usr/bin/python3
"""Chinese typed through a real input method: fcitx5 with its Qt 6 plugin and
the Wubi table, on a private session bus under Xvfb and openbox. The Wubi
code gggh and a space give 一下, in the account field (the login request
carries it in GBK) and in a page's <input> (the page receives 你好一下)."""

import http.server
import threading
import urllib.parse

import desktop

FORM = """<!DOCTYPE html><html lang="zh-CN"><head><meta charset="utf-8"><title>输入</title>
<style>body{margin:0} input{position:absolute;left:0;top:0;width:100%;height:300px;font-size:40px}</style>
</head><body><form action="/got" method="get">
<input id="q" name="q" value="你好"
 onfocus="this.setSelectionRange(this.value.length, this.value.length); fetch('/focused')"></form></body></html>"""


class Page(http.server.BaseHTTPRequestHandler):
    received = []
    focused = []

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/focused":
            Page.focused.append(True)
        if url.path == "/got":
            Page.received.append(urllib.parse.parse_qs(url.query).get("q", [""])[0])
        body = FORM.encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def test(bin_dir):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Page)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        with desktop.Session(bin_dir) as s:
            s.start_bus()
            s.start_x()
            s.start_fcitx()
            page = f"http://127.0.0.1:{server.server_port}/form"
            s.start_standin(accounts=f"一下 | demo123 | {page}?ver=100\n")
            s.start_client()
            assert s.wait_trace("dialog painted"), s.client_lines()
            window = s.client_window()

            def switch(state):
                # Ctrl+Space toggles the input method of the focused field;
                # fcitx5 may still be loading its table when first asked.
                assert desktop.wait_until(lambda: s.fcitx_remote() in ("1", "2"), 20), "no input context"
                for _ in range(3):
                    if s.fcitx_remote() == state:
                        return
                    s.xdotool("key", "ctrl+space")
                    desktop.wait_until(lambda: s.fcitx_remote() == state, 5)
                assert s.fcitx_remote() == state, "fcitx5 did not switch"

            def wubi(code):
                switch("2")
                s.xdotool("type", "--delay", "60", code)
                s.xdotool("key", "space")
                switch("1")

            s.xdotool("windowfocus", "--sync", window)
            s.xdotool("key", "Tab")
            assert s.wait_trace("prompt 请输入帐号信息！", timeout=10), s.client_lines()
            wubi("gggh")
            # The input method hands the Tab back a while later; typed before
            # the password field has the focus, the keys go to the account.
            s.xdotool("key", "Tab")
            assert s.wait_trace("prompt 请输入账号密码！", timeout=10), s.client_lines()
            s.xdotool("type", "--delay", "30", "demo123")
            s.xdotool("key", "Return")
            assert s.wait_trace("signed in"), s.client_lines() + s.standin_lines()
            # The stand-in notes a request once its answer has gone out.
            assert desktop.wait_until(lambda: 'account="一下"' in s.standin_lines(), 10), s.standin_lines()
            assert s.wait_trace("page loaded"), s.client_lines()
            assert s.wait_trace("main window painted"), s.client_lines()

            main = s.client_window()
            desktop.wait_until(lambda: "MAXIMIZED_HORZ" in s.run(["xprop", "-id", main, "_NET_WM_STATE"]).stdout, 10)
            # Typed once the page says its field has the focus: a busy machine
            # may drop a first click while the page takes it.
            for _ in range(5):
                s.xdotool("windowactivate", "--sync", main)
                s.xdotool("mousemove", "--window", main, "1300", "150", "click", "1")
                if desktop.wait_until(lambda: Page.focused, 5):
                    break
            assert Page.focused, "the page's field never had the focus"
            s.xdotool("key", "End")
            wubi("gggh")
            s.xdotool("key", "Return")
            assert desktop.wait_until(lambda: Page.received, 20), s.client_lines()
            assert Page.received == ["你好一下"], Page.received
    finally:
        server.shutdown()


if __name__ == "__main__":
    desktop.main(test)
