#!/usr/bin/python3
"""What a screen reader gets from the client: the login dialog's controls
named in Chinese, the prompt's changes as they happen, a login through the
login button's action, and the start page's content in the main window.
Read with pyatspi, as Orca reads it, on a private session bus under Xvfb."""

import time
import unicodedata

import desktop


def is_chinese(text):
    return any(unicodedata.name(c, "").startswith("CJK UNIFIED") for c in text)


def test(bin_dir):
    with desktop.Session(bin_dir) as s:
        s.start_bus()
        s.start_atspi()
        s.start_x()
        s.start_standin()
        import pyatspi
        from gi.repository import GLib

        def pump(seconds=0.0, until=None):
            end = time.monotonic() + seconds
            context = GLib.MainContext.default()
            while True:
                while context.iteration(False):
                    pass
                if until and until():
                    return True
                if time.monotonic() > end:
                    return bool(until and until())
                time.sleep(0.05)

        names_heard = []

        def on_name(event):
            try:
                names_heard.append((event.source.getRole(), event.source.name))
            except Exception:
                pass  # gone meanwhile (the dialog closing)

        pyatspi.Registry.registerEventListener(on_name, "object:property-change:accessible-name")

        client = s.start_client()
        assert s.wait_trace("dialog painted"), s.client_lines()

        def the_app():
            desktop_node = pyatspi.Registry.getDesktop(0)
            for i in range(desktop_node.childCount):
                app = desktop_node.getChildAtIndex(i)
                try:
                    if app is not None and app.get_process_id() == client.pid:
                        return app
                except Exception:
                    pass
            return None

        app = None
        assert pump(20, lambda: (app := the_app()) is not None and app.childCount > 0), "client not on the AT-SPI bus"
        app = the_app()

        # The dialog as a screen reader lists it: every control it can reach
        # has a Chinese name.
        dialog = [w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
                  if w is not None and w.getState().contains(pyatspi.STATE_SHOWING)][0]
        nodes = [n for n in desktop.descendants(dialog) if n.getState().contains(pyatspi.STATE_SHOWING)]
        controls = {(n.getRole(), n.name) for n in nodes if n.getState().contains(pyatspi.STATE_FOCUSABLE)}
        print("dialog:", dialog.name, sorted(controls))
        # Roles by their number: their names change between AT-SPI releases.
        button = pyatspi.ROLE_PUSH_BUTTON
        expected = {(pyatspi.ROLE_TEXT, "账号"), (pyatspi.ROLE_PASSWORD_TEXT, "密码"),
                    (pyatspi.ROLE_CHECK_BOX, "记住密码"), (button, "登录"), (button, "退出"),
                    (button, "忘记密码"), (button, "无法登陆"), (button, "联系客服")}
        assert controls == expected, sorted(controls)
        for n in nodes:
            if n.getState().contains(pyatspi.STATE_FOCUSABLE):
                assert is_chinese(n.description), (n.name, n.description)
        prompt = [n for n in nodes if n.getRole() == pyatspi.ROLE_LABEL]
        assert [p.name for p in prompt] == ["请输入账号"], [p.name for p in prompt]

        # Tab into the account field: the new prompt is told as it appears,
        # once.
        window = s.client_window()
        s.xdotool("windowfocus", "--sync", window)
        s.xdotool("key", "Tab")
        assert pump(10, lambda: (pyatspi.ROLE_LABEL, "请输入帐号信息！") in names_heard), names_heard
        pump(0.5)
        assert names_heard.count((pyatspi.ROLE_LABEL, "请输入帐号信息！")) == 1, names_heard

        # Signed in through the accessible interfaces alone.
        by_name = {n.name: n for n in nodes}
        by_name["账号"].queryEditableText().setTextContents("demo")
        by_name["密码"].queryEditableText().setTextContents("demo123")
        login = by_name["登录"].queryAction()
        assert login.getName(0) in ("press", "click", "Press"), login.getName(0)
        login.doAction(0)
        assert s.wait_trace("page loaded"), s.client_lines()
        assert s.wait_trace("main window painted"), s.client_lines()

        # The page itself: title, heading, text and links.
        def page():
            for window in (app.getChildAtIndex(i) for i in range(app.childCount)):
                for n in desktop.descendants(window) if window is not None else []:
                    if n.getRole() == pyatspi.ROLE_DOCUMENT_WEB and n.childCount > 0:
                        return n
            return None

        document = None
        assert pump(30, lambda: (document := page()) is not None), "no document in the main window"
        document = page()

        def content():
            found = set()
            for n in desktop.descendants(document):
                role = n.getRole()
                text = n.name
                if not text and "Text" in pyatspi.listInterfaces(n):
                    t = n.queryText()
                    text = t.getText(0, t.characterCount)
                found.add((role, text.strip()))
            return found

        wanted = [(pyatspi.ROLE_HEADING, "欢迎, demo"), (pyatspi.ROLE_LINK, "第二页"),
                  (pyatspi.ROLE_LINK, "下载报表 (CSV)")]
        assert pump(20, lambda: all(w in content() for w in wanted)), sorted(content())
        texts = " ".join(t for _, t in content())
        assert "客户端版本" in texts, texts
        assert document.name == "Kelumo大数据 - 首页", document.name

        # The frame's navigation buttons keep their names.
        frame_buttons = {n.name for w in (app.getChildAtIndex(i) for i in range(app.childCount)) if w is not None
                         for n in desktop.descendants(w) if n.getRole() == button}
        assert {"后退", "前进", "刷新", "停止"} <= frame_buttons, frame_buttons

        # Ctrl+F: the find bar's field is named too.
        def find_field():
            return any(n.getRole() == pyatspi.ROLE_TEXT and n.name == "查找"
                       and n.getState().contains(pyatspi.STATE_SHOWING)
                       for w in (app.getChildAtIndex(i) for i in range(app.childCount)) if w is not None
                       for n in desktop.descendants(w))

        main = s.client_window()
        for _ in range(3):
            s.xdotool("windowactivate", "--sync", main)
            s.xdotool("key", "ctrl+f")
            if pump(5, find_field):
                break
        assert find_field(), "no find field"
        print("page:", document.name, sorted(content())[:12])


if __name__ == "__main__":
    desktop.main(test)
