#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Reads Nopi's accessibility tree as a screen reader does, through AT-SPI,
# and prints one "ok - ..." or "not ok - ..." line per check for atspi.sh.
# The tree is dumped to the file named by the first argument.
import sys
import time

import pyatspi

DUMP = open(sys.argv[1], "w")


def check(what, result):
    print(("ok - " if result else "not ok - ") + what, flush=True)
    return result


def wait_for(find, seconds=10):
    deadline = time.time() + seconds
    while True:
        found = find()
        if found or time.time() > deadline:
            return found
        time.sleep(0.2)


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
