#!/usr/bin/python3
"""The accessibility census of halvern, from outside the process.

Runs inside tests/a11y/census-session (a private session bus, Xvfb, openbox and the
accessibility bus). Starts the built program on the virtual receiver with its test
driver, opens every window the page can open, and walks each as a screen reader does
(AT-SPI through pyatspi) and as a keyboard user does (Tab through real X input from
xdotool). A window fails on:

- a control a user can reach (it takes the focus, or it is a button) without a name;
- a button without an action;
- a slider whose value is not the number shown beside it on its row;
- a window that is not a frame (the main window) or a modal dialog, or whose title is
  not a text of the language shown;
- a keyboard trap: Tab from a control that leaves the focus where it was;
- Escape that does not close a dialog, keys that land in a key box while no capture
  was started, and a key box that Enter, then a key, does not give that key.

Prints one line per fault and a summary; exits 1 when there was a fault.
"""

import argparse
import os
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402
import pyatspi  # noqa: E402

BUTTONS = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
           pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM}
# Rows of a list are reached with the arrow keys inside it, not with Tab.
ROWS = {pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL}
SETTLE = 0.15  # seconds for the program to act on a key


class Halvern:
    """The program and its test driver: one command, one answer line."""

    def __init__(self, build, language, work):
        env = dict(os.environ)
        env.update({
            "HALVERN_EMULATOR": "receiver", "HALVERN_TEST_DRIVER": "1",
            "HALVERN_DATA_DIR": os.path.join(work, "data"), "XDG_RUNTIME_DIR": work,
            "XDG_CONFIG_HOME": os.path.join(work, "config"), "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "XKB_DEFAULT_LAYOUT": "us", "XDG_SESSION_TYPE": "x11",
            # The language as a desktop of that language sets it.
            "WAYLAND_DISPLAY": "", "LANGUAGE": "", "LC_ALL": "", "LC_MESSAGES": "",
            "LANG": "C.UTF-8" if language == "en" else "%s_%s.UTF-8" % (language, language.upper()),
        })
        self.log = open(os.path.join(work, "halvern.log"), "w")
        self.proc = subprocess.Popen([os.path.join(build, "bin", "halvern")], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=self.log, env=env, text=True, bufsize=1)
        ready = self.proc.stdout.readline().strip()
        if ready != "ready":
            raise RuntimeError("halvern did not start: " + ready)

    def ask(self, command):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()
        return self.proc.stdout.readline().strip()

    def wait_modal(self, layout, timeout=10):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.ask("modal") == "ok " + layout:
                return True
            time.sleep(0.05)
        return False

    def quit(self):
        if self.ask("modal") != "ok none":
            self.ask("close-modal 0")
        self.ask("tray right")
        self.ask("menu exit")
        try:
            return self.proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            return None


def language_texts(build, language):
    """Every text of the language shown: what a window's title must be one of."""
    texts = set()
    files = ["lan.xml"] if language == "en" else ["lan_%s.xml" % language]
    for name in files:
        for text in ET.parse(os.path.join(build, "bin", "res", name)).getroot().iter("Text"):
            texts.add((text.text or "").strip())
    return texts


def key(*keys):
    subprocess.run(["xdotool", "key", "--clearmodifiers", *keys], check=True)


class Census:
    def __init__(self, halvern, language, texts):
        self.halvern = halvern
        self.language = language
        self.texts = texts
        self.faults = []
        self.checked = 0
        self.focused = None
        self.app = self.find_application()
        # What the program says now, not what was said before a change.
        self.app.set_cache_mask(Atspi.Cache.NONE)
        pyatspi.Registry.registerEventListener(self.on_focus, "object:state-changed:focused")

    # ---- The accessibility bus ----

    def find_application(self, timeout=20):
        deadline = time.time() + timeout
        while time.time() < deadline:
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                try:
                    if app is not None and app.get_process_id() == self.halvern.proc.pid:
                        return app
                except GLib.GError:
                    pass
            time.sleep(0.1)
        raise RuntimeError("halvern is not on the accessibility bus")

    def on_focus(self, event):
        if event.detail1 == 1:
            self.focused = event.source

    def pump(self, seconds):
        deadline = time.time() + seconds
        context = GLib.MainContext.default()
        while time.time() < deadline:
            while context.pending():
                context.iteration(False)
            time.sleep(0.01)

    def window(self, dialog):
        """The main frame, or the modal dialog on top."""
        for attempt in range(50):
            for i in range(self.app.childCount):
                w = self.app.getChildAtIndex(i)
                if w is None:
                    continue
                states = w.getState()
                if not states.contains(pyatspi.STATE_SHOWING):
                    continue
                if dialog and w.getRole() == pyatspi.ROLE_DIALOG and states.contains(pyatspi.STATE_MODAL):
                    return w
                if not dialog and w.getRole() == pyatspi.ROLE_FRAME:
                    return w
            self.pump(0.1)
        return None

    def fault(self, where, what):
        self.faults.append("%s [%s]: %s" % (where, self.language, what))
        print("a11y: FAIL %s [%s]: %s" % (where, self.language, what), flush=True)

    # ---- What a screen reader meets ----

    @staticmethod
    def describe(acc):
        try:
            return "%s %r" % (acc.getRoleName(), acc.name)
        except GLib.GError:
            return "<gone>"

    def objects(self, root):
        """Every showing object under root, depth first."""
        out = []
        stack = [root]
        while stack:
            acc = stack.pop()
            try:
                states = acc.getState()
                if acc is not root and not states.contains(pyatspi.STATE_SHOWING):
                    continue
                out.append(acc)
                stack.extend(reversed([acc.getChildAtIndex(i) for i in range(acc.childCount)]))
            except GLib.GError:
                continue
        return [a for a in out if a is not None]

    @staticmethod
    def reachable(acc):
        states = acc.getState()
        return states.contains(pyatspi.STATE_FOCUSABLE) or acc.getRole() in BUTTONS

    def check_window(self, where, window, dialog):
        role = window.getRole()
        if dialog and (role != pyatspi.ROLE_DIALOG or not window.getState().contains(pyatspi.STATE_MODAL)):
            self.fault(where, "the window is %s, not a modal dialog" % window.getRoleName())
        if not dialog and role != pyatspi.ROLE_FRAME:
            self.fault(where, "the main window is %s, not a frame" % window.getRoleName())
        if window.name.strip() not in self.texts:
            self.fault(where, "the window's title %r is not a text of the language shown" % window.name)

    def check_controls(self, where, window):
        for acc in self.objects(window):
            if acc is window:
                continue
            role = acc.getRole()
            self.checked += 1
            if self.reachable(acc) and not acc.name.strip():
                self.fault(where, "a %s without a name" % acc.getRoleName())
            # A dimmed button offers no action (Qt's own buttons drop theirs), which
            # a screen reader says as "dimmed"; an enabled one must offer one.
            if role in BUTTONS and acc.getState().contains(pyatspi.STATE_SENSITIVE):
                try:
                    actions = acc.queryAction().nActions
                except NotImplementedError:
                    actions = 0
                if actions == 0:
                    self.fault(where, "%s has no action" % self.describe(acc))
            if role == pyatspi.ROLE_SLIDER:
                self.check_slider(where, acc)

    def number(self, value):
        text = ("%d" % value) if float(value).is_integer() else ("%.1f" % value)
        return text.replace(".", ",") if self.language == "de" else text

    @staticmethod
    def shown_beside(slider):
        """The texts with a number on the slider's row of its panel."""
        box = slider.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        texts = []
        parent = slider.parent
        for i in range(parent.childCount if parent else 0):
            acc = parent.getChildAtIndex(i)
            if acc is None or not acc.getState().contains(pyatspi.STATE_SHOWING):
                continue
            role = acc.getRole()
            if role == pyatspi.ROLE_LABEL:
                text = acc.name
            elif role in (pyatspi.ROLE_ENTRY, pyatspi.ROLE_TEXT):
                text = acc.queryText().getText(0, -1)
            else:
                continue
            extents = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            if any(c.isdigit() for c in text) and box.y <= extents.y + extents.height // 2 <= box.y + box.height:
                texts.append(text)
        return texts

    def check_slider(self, where, slider):
        value = slider.queryValue()
        shown = self.number(value.currentValue)
        if not (value.minimumValue < value.maximumValue and value.minimumIncrement > 0):
            self.fault(where, "%s reads %s..%s in steps of %s" % (self.describe(slider), value.minimumValue,
                                                                 value.maximumValue, value.minimumIncrement))
        beside = self.shown_beside(slider)
        if beside and not any(shown in text for text in beside):
            self.fault(where, "%s reads %s where its row shows %s" % (self.describe(slider), shown, " / ".join(beside)))

    # ---- What a keyboard user meets ----

    def focus(self, acc, timeout=4.0):
        self.focused = None
        try:
            acc.queryComponent().grabFocus()
        except (GLib.GError, NotImplementedError):
            return False
        deadline = time.time() + timeout
        while time.time() < deadline:
            self.pump(0.03)
            if acc.getState().contains(pyatspi.STATE_FOCUSED):
                return True
        return False

    def activate(self):
        """Asks the window manager to make halvern's visible window with the focus active."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.halvern.proc.pid)],
                               capture_output=True, text=True)
        windows = found.stdout.split()
        if not windows:
            return False
        try:
            # --sync waits for ever for an activation the window manager never makes.
            subprocess.run(["xdotool", "windowactivate", "--sync", windows[-1]], capture_output=True, timeout=10)
        except subprocess.TimeoutExpired:
            return False
        self.pump(SETTLE)
        return True

    def tab(self, before, timeout=4.0):
        """Presses Tab and returns what has the focus after it (None: nothing changed)."""
        self.focused = None
        key("Tab")
        deadline = time.time() + timeout
        while time.time() < deadline:
            self.pump(0.03)
            if self.focused is not None and self.focused != before:
                self.pump(SETTLE)  # a list may pass the focus on to its current row
                return self.focused
        return None

    def walk_keyboard(self, where, window):
        focusables = [a for a in self.objects(window)
                      if a is not window and a.getRole() not in ROWS
                      and a.getState().contains(pyatspi.STATE_FOCUSABLE)
                      and a.getState().contains(pyatspi.STATE_SENSITIVE)]
        if not focusables:
            self.fault(where, "nothing takes the focus")
            return
        start = focusables[0]
        # A window the window manager has not made active yet takes no focus; it is
        # asked to once before that counts as a fault.
        if not self.focus(start) and not (self.activate() and self.focus(start)):
            self.fault(where, "%s does not take the focus" % self.describe(start))
            return
        visited = [start]
        current = start
        for _ in range(2 * len(focusables) + 4):
            after = self.tab(current)
            if after is None:
                self.fault(where, "Tab from %s leaves the focus where it was" % self.describe(current))
                break
            if after == start or after in visited:
                break
            visited.append(after)
            current = after
        # What Tab did not reach: from each, Tab must move on too.
        rest = 0
        for acc in focusables:
            if acc in visited or not self.focus(acc):
                continue
            rest += 1
            if self.tab(acc) is None:
                self.fault(where, "Tab from %s leaves the focus where it was" % self.describe(acc))
        print("a11y: %s [%s]: Tab went through %d stops, and on from %d more" % (where, self.language, len(visited), rest),
              flush=True)

    def escape_closes(self, where, window):
        focusables = [a for a in self.objects(window) if a.getRole() == pyatspi.ROLE_PUSH_BUTTON
                      and a.getState().contains(pyatspi.STATE_FOCUSABLE)]
        if focusables:
            self.focus(focusables[-1])
        key("Escape")
        time.sleep(SETTLE)
        if not self.halvern.wait_modal("none", timeout=3):
            self.fault(where, "Escape does not close the dialog")
            self.halvern.ask("close-modal 0")

    def popup(self, where):
        """The menu open now, reached as a screen reader reaches it: through the item the
        arrow keys put the focus on. Its items are named and have an action."""
        self.focused = None
        key("Down")
        self.pump(0.5)
        menu = self.focused.parent if self.focused is not None else None
        if menu is None:
            self.fault(where, "no item of the menu takes the focus")
        else:
            self.check_controls(where, menu)
        key("Escape")

    def capture_from_keyboard(self, where, window):
        """The key box as a keyboard user meets it: Enter starts the capture, the next key
        is the key, and Tab then leaves the box."""
        boxes = [a for a in self.objects(window) if a.getRole() in (pyatspi.ROLE_ENTRY, pyatspi.ROLE_TEXT)]
        if not boxes or not self.focus(boxes[0]):
            self.fault(where, "the key box does not take the focus")
            return
        before = self.halvern.ask("get edit_key")
        key("Return")
        # The capture runs once the box says so; only then is the next key the key.
        if not self.answer_changes("get edit_key", before):
            self.fault(where, "Enter on the key box starts no capture")
            return
        key("k")
        self.answer_changes("get edit_key", self.halvern.ask("get edit_key"))
        shown = self.halvern.ask("get edit_key")
        if not shown.startswith("ok text=K "):
            self.fault(where, "Enter, then K, leaves the key box at %s" % shown)
        if self.tab(boxes[0]) is None:
            self.fault(where, "Tab after the key leaves the focus in the key box")

    def answer_changes(self, command, before, timeout=5.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.halvern.ask(command) != before:
                return True
            time.sleep(0.05)
        return False

    # ---- One window ----

    def census(self, where, dialog, keyboard=True):
        window = self.window(dialog)
        if window is None:
            self.fault(where, "the window is not on the accessibility bus")
            return None
        self.check_window(where, window, dialog)
        self.check_controls(where, window)
        if keyboard:
            self.walk_keyboard(where, window)
        return window


def run(args):
    texts = language_texts(args.build, args.language)
    halvern = Halvern(args.build, args.language, args.work)
    census = Census(halvern, args.language, texts)
    ask = halvern.ask

    # A macro whose first step is "A, press": the key box must keep it through Tab.
    macro_file = os.path.join(args.work, "a.macro")
    subprocess.run([os.path.join(args.build, "bin", "halvernctl"), "macro", "new", "Census", macro_file,
                    "a:down", "wait:30", "a:up"], check=True, stdout=subprocess.DEVNULL)

    # The main window, every section open.
    ask("click ms_1_check_light")
    census.census("main window", dialog=False)

    def dialog(where, layout, opening, then=(), unchanged=None, after=None):
        """Opens a dialog, takes its census and walks it; `unchanged`: a driver command
        whose answer the keyboard walk must leave as it was (a key box); `after`: more
        for the keyboard before Escape closes the dialog."""
        for command in opening:
            answer = ask(command)
            if answer != "ok":
                census.fault(where, "%s: %s" % (command, answer))
                return
        if not halvern.wait_modal(layout):
            census.fault(where, "%s did not open" % layout)
            return
        for command in then:
            if ask(command) != "ok":
                census.fault(where, command)
        before = ask(unchanged) if unchanged else None
        window = census.census(where, dialog=True)
        if unchanged and ask(unchanged) != before:
            census.fault(where, "Tab changed what %r answers: %s became %s" % (unchanged, before, ask(unchanged)))
        if window is not None and after:
            after(where, window)
        if window is not None:
            census.escape_closes(where, window)
        elif halvern.ask("modal") != "ok none":
            ask("close-modal 0")

    dialog("profile name dialog", "MS/MS_1/profilename.xml", ["click ms_1_profile_add_btn"])
    dialog("message box", "msg.xml", ["click ms_1_profile_reset_btn"])
    dialog("colour picker", "DpiColorDialog.xml", ["click ms_1_btn_dpi_color_1"])
    # The macro editor with the macro imported, its first step selected and the key box shown.
    dialog("macro editor", "MS/MS_1/ms_1_macropage.xml", ["click ms_1_btn_macro"],
           then=["answer-file " + macro_file, "click ms_1_macro_import_btn", "pick ms_1_macro_action_list 0",
                 "click ms_1_macro_action_edit_check"],
           unchanged="rows ms_1_macro_action_list")

    # The key buttons' menu, then its two dialogs.
    if ask("click ms_1_btn_key_4") == "ok":
        census.popup("assignment menu")
    dialog("shortcut dialog", "shortcut.xml", ["click ms_1_btn_key_4", "click ms_1_shortcut"],
           unchanged="get edit_key", after=census.capture_from_keyboard)
    dialog("macro selection dialog", "MS/MS_1/selectmacro.xml", ["click ms_1_btn_key_5", "click ms_1_select_macro"])

    # The title bar's menu and About.
    if ask("main-menu").startswith("ok"):
        census.popup("main menu")
    dialog("about window", "about.xml", ["main-menu-item main_about"])

    status = halvern.quit()
    if status != 0:
        census.fault("halvern", "exit status %s" % status)
    print("a11y: %s: %d controls, %d faults" % (args.language, census.checked, len(census.faults)),
          flush=True)
    return 1 if census.faults else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--language", required=True)
    parser.add_argument("--work", required=True)
    return run(parser.parse_args())


if __name__ == "__main__":
    sys.exit(main())
