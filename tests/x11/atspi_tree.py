#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Reads Nopi's accessibility tree as a screen reader does, through AT-SPI,
# and prints one "ok - ..." or "not ok - ..." line per check for atspi.sh.
# The tree is dumped to the file named by the first argument; the second is
# the launcher's X window, the third the moment (seconds since the epoch) by
# which the Tab round must be done, before the alarm rings.
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

DUMP = open(sys.argv[1], "w")
LAUNCHER_WINDOW = sys.argv[2]
READY_BY = float(sys.argv[3])
CONTEXT = GLib.MainContext.default()
# (time, type, role, name, detail1) of every event heard, in order.
EVENTS = []


def heard(event):
    try:
        role, name = event.source.getRoleName(), event.source.name
    except Exception:
        role, name = None, None
    EVENTS.append((time.time(), event.type, role, name, event.detail1))


for kind in ["focus:", "object:state-changed:focused", "window:activate", "object:state-changed:showing"]:
    pyatspi.Registry.registerEventListener(heard, kind)


def pump():
    while CONTEXT.pending():
        CONTEXT.iteration(False)


def check(what, result):
    print(("ok - " if result else "not ok - ") + what, flush=True)
    return result


def wait_for(find, seconds=10):
    deadline = time.time() + seconds
    while True:
        pump()
        found = find()
        if found or time.time() > deadline:
            return found
        time.sleep(0.05)


def nopi():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "nopi":
            return app
    return None


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def actions(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def has(node, state):
    return node.getState().contains(state)


def dump(node, depth=0):
    DUMP.write("%s%s %r %r %s\n" % ("  " * depth, node.getRoleName(), node.name, node.description, actions(node)))
    for child in node:
        if child is not None:
            dump(child, depth + 1)


def top(role, name):
    app = nopi()
    if app is None:
        return None
    for window in app:
        if window is not None and window.getRoleName() == role and name(window.name):
            return window
    return None


def button(window, name):
    for node in walk(window):
        if node.getRoleName() == "push button" and node.name == name:
            return node
    return None


def press(node):
    node.queryAction().doAction(actions(node).index("Press"))


def presses(window, name):
    node = button(window, name)
    return node is not None and "Press" in actions(node)


def labels(node):
    found = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            found += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return found


if not check("the program shows in the accessibility tree", wait_for(nopi)):
    sys.exit(0)
launcher = wait_for(lambda: top("frame", lambda name: name.startswith("Nopi")))
check("the launcher is a frame named by its caption, starting \"Nopi\"", launcher is not None)
note = wait_for(lambda: top("frame", lambda name: name == "buy milk"))
check("a note is a frame named by its first line", note is not None)
dump(nopi())
if launcher is None or note is None:
    sys.exit(0)

check("the new-note control is a push button 新規作成 with a press action", presses(launcher, "新規作成"))
notes = {name: wait_for(lambda: top("frame", lambda shown: shown == name)) for name in ["second note", "third"]}
check("the other notes are frames named by their first lines", all(notes.values()))
notes["buy milk"] = note


def short(name):
    return "Nopi" if name and name.startswith("Nopi") else name


def of_kind(kind, since, focused_only=False):
    return [short(e[3]) for e in EVENTS[since:] if e[1] == kind and (not focused_only or e[4] == 1)]


# One round of Tab: each window reached is told once, activated and then
# given the focus; no other window is activated.
subprocess.run(["xdotool", "windowactivate", "--sync", LAUNCHER_WINDOW], timeout=10)
wait_for(lambda: has(launcher, pyatspi.STATE_ACTIVE), 5)
for reached in ["buy milk", "second note", "third", "Nopi"]:
    since = len(EVENTS)
    subprocess.run(["xdotool", "key", "Tab"], timeout=10)
    wait_for(lambda: of_kind("focus:", since), 5)
    wait_for(lambda: False, 0.5)
    told = [(e[1], short(e[3]), e[4]) for e in EVENTS[since:]
            if e[1] in ("window:activate", "focus:") or (e[1] == "object:state-changed:focused" and e[4] == 1)]
    check("Tab to %s: one window:activate, the focused state and one focus event, for it alone (%s)"
          % (reached, told),
          told == [("window:activate", reached, 0), ("object:state-changed:focused", reached, 1),
                   ("focus:", reached, 0)])
for name, lines in [("buy milk", ["<09:30>", "buy milk", "and bread"]), ("second note", ["second note"]),
                    ("third", ["third", "note"])]:
    shown = [node for node in walk(notes[name]) if "Text" in pyatspi.listInterfaces(node)]
    text = shown[0].queryText() if len(shown) == 1 else None
    whole = text.getText(0, -1) if text else None
    check("%s: its text reads through the Text interface as its lines (%r)" % (name, whole),
          whole is not None and whole.split("\n") == lines)
    if text and len(lines) > 1:
        line = text.getTextAtOffset(len(lines[0]) + 1, pyatspi.TEXT_BOUNDARY_LINE_START)
        check("%s: its second line is one line of the text (%r)" % (name, line[0]),
              line[0] == lines[1] + ("\n" if len(lines) > 2 else ""))
    check("%s: the text is read-only" % name,
          bool(shown) and has(shown[0], pyatspi.STATE_READ_ONLY) and not has(shown[0], pyatspi.STATE_EDITABLE))
check("the Tab round is over before the alarm rings", time.time() < READY_BY)

# The alarm rings while the user types in another program: an alert appears,
# and the focus stays where it is.
other_program = subprocess.Popen(["xmessage", "-name", "nopi-typing", "-geometry", "+700+600", "typing here"])
typing = wait_for(lambda: subprocess.run(["xdotool", "search", "--classname", "^nopi-typing$"],
                                         capture_output=True, text=True).stdout.split(), 10)
if typing:
    subprocess.run(["xdotool", "windowactivate", "--sync", typing[0]], timeout=10)
since = len(EVENTS)
alerts = lambda: [e for e in EVENTS[since:] if e[1] == "object:state-changed:showing" and e[4] == 1
                  and e[2] == "notification"]
wait_for(alerts, 45)
check("when the alarm rings an alert appears: %s" % [e[3] for e in alerts()],
      [e[3] for e in alerts()] == ["アラーム 09:30 — buy milk"])
alert = next((node for node in walk(note) if node.getRoleName() == "notification"), None)
check("the alert says how to stop the alarm",
      alert is not None and "Enter" in alert.description and "ダブルクリック" in alert.description)
wait_for(lambda: False, 1)
active = subprocess.run(["xdotool", "getactivewindow"], capture_output=True, text=True).stdout.split()
check("the alarm takes no focus: no focus or activation is heard, the other program stays active",
      typing and active == typing[:1] and not [e for e in EVENTS[since:] if e[1] in ("focus:", "window:activate")])
other_program.terminate()
subprocess.run(["xdotool", "windowactivate", "--sync", LAUNCHER_WINDOW], timeout=10)
quit_mark = button(launcher, "終了")
check("the quit mark is a push button 終了 with a press action", presses(launcher, "終了"))
check("the quit mark is there while it is not drawn", quit_mark is not None and not has(quit_mark, pyatspi.STATE_SHOWING))
check("the note can take the focus", has(note, pyatspi.STATE_FOCUSABLE))
check("the note's description says its alarm and its keys",
      "<09:30>" in note.description and "Enter" in note.description and "Ctrl+D" in note.description)
check("the note's close mark is a push button 閉じる with a press action", presses(note, "閉じる"))

press(button(launcher, "新規作成"))
editor = wait_for(lambda: top("frame", lambda name: name.startswith("■")))
check("pressing 新規作成 through its action opens the edit screen, a frame", editor is not None)
if editor is None:
    sys.exit(0)
dump(editor)
check("the edit screen is named \"■ 編集画面\"", editor.name == "■ 編集画面")
time.sleep(1.2)
check("its name stays while its caption's clock ticks", editor.name == "■ 編集画面")
for caption in ["ＯＫ", "Cancel", "Color", "Font"]:
    check("the button %s is named what it shows and can be pressed" % caption, presses(editor, caption))
fields = [node for node in walk(editor) if node.getRoleName() == "text"]
check("every field has a name (%d fields)" % len(fields), len(fields) == 5 and all(node.name for node in fields))
alarm = next((node for node in walk(editor) if node.name == "アラーム"), None)
row = [child.name for child in alarm] if alarm is not None else []
check("the alarm panel's controls come as they are seen, left to right (%s)" % " ".join(row),
      row == ["アラーム OFF", "アラーム ON", "アラームの時", "：", "アラームの分", "日付を指定", "アラームの月", "/",
              "アラームの日"])
check("no label describes itself with another control's tool tip",
      all(not node.description for node in walk(editor) if node.getRoleName() == "label"))
focused = lambda: [node.name for node in walk(editor) if has(node, pyatspi.STATE_FOCUSED)]
wait_for(lambda: focused() == ["付箋紙の文章"], 5)
check("one object has the focus, the text box (%s)" % focused(), focused() == ["付箋紙の文章"])

press(button(editor, "Font"))
dialog = wait_for(lambda: top("dialog", lambda name: name.startswith("フォントの変更")))
check("Font opens the font dialog", dialog is not None)
if dialog is not None:
    dump(dialog)
    lists = [node for node in walk(dialog) if node.getRoleName() == "combo box"]
    check("the font dialog's lists are labelled by their captions",
          [labels(node) for node in lists] == [["フォント名"], ["サイズ"]])
    press(button(dialog, "キャンセル"))
    check("its キャンセル closes it", wait_for(lambda: top("dialog", lambda name: True) is None, 5))
press(button(editor, "Cancel"))
check("Cancel closes the edit screen", wait_for(lambda: top("frame", lambda name: name.startswith("■")) is None, 5))

# Last: the quit mark, pressed while it is hidden, ends the program.
press(quit_mark)
print("# pressed 終了", flush=True)
