// SPDX-License-Identifier: MIT
// Every user, every key: what the keyboard does in the launcher and the
// notes, and what a screen reader is told of every window.

#include "WidgetFixture.h"
#include "desktop/UserPlacement.h"
#include "desktop/WindowProcedures.h"
#include "desktop/ImageControl.h"
#include "editor/FontDialog.h"

#include <QAccessible>
#include <QComboBox>
#include <QKeyEvent>
#include <QPlainTextEdit>

namespace {

const QDate Monday(2026, 12, 7);

void press(QWidget *window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool autoRepeat = false)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(window, &event);
}

QAccessibleInterface *accessible(QWidget *widget)
{
    return QAccessible::queryAccessibleInterface(widget);
}

QStringList labelsOf(QWidget *field)
{
    QStringList labels;
    for (const auto &relation : accessible(field)->relations(QAccessible::Label))
        labels << relation.first->text(QAccessible::Name);
    return labels;
}

}

class TestKeys : public QObject
{
    Q_OBJECT

private slots:
    void shouldAnswerKeys_data();
    void shouldAnswerKeys();
    void shouldTabFromWindowToWindow();
    void shouldPutTextHandedOverAsTyped_data();
    void shouldPutTextHandedOverAsTyped();
    void shouldShowScreenReadersFramesAndButtons();
    void shouldAnnounceARingingAlarm();
    void shouldReadANotesTextByLines();
    void shouldNotOfferTheNewNoteButtonWithEveryNoteInUse();
    void shouldMarkTheFocusAfterAKeyOnly();
    void shouldPlaceWindowsWithKeys_data();
    void shouldPlaceWindowsWithKeys();
    void shouldWriteAPlaceMadeWithKeysOnceTheyRest();
    void shouldLabelTheFontDialogsLists();
};

void TestKeys::shouldAnswerKeys_data()
{
    QTest::addColumn<QString>("window");     // "launcher" or "note" (Form4)
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("autoRepeat");
    QTest::addColumn<QString>("state");      // "", "editing" (an edit screen is open), "full"
    QTest::addColumn<QString>("expected");   // "new note", "edit FORM4", "thrown away", "nothing"

    const int none = Qt::NoModifier;
    const int ctrl = Qt::ControlModifier;
    QTest::newRow("launcher Enter") << "launcher" << int(Qt::Key_Return) << none << false << "" << "new note";
    QTest::newRow("launcher keypad Enter") << "launcher" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << false
                                           << "" << "new note";
    QTest::newRow("launcher Space") << "launcher" << int(Qt::Key_Space) << none << false << "" << "new note";
    QTest::newRow("launcher Ctrl+N") << "launcher" << int(Qt::Key_N) << ctrl << false << "" << "new note";
    QTest::newRow("launcher held Enter asks once") << "launcher" << int(Qt::Key_Return) << none << true << ""
                                                   << "nothing";
    QTest::newRow("launcher N alone") << "launcher" << int(Qt::Key_N) << none << false << "" << "nothing";
    QTest::newRow("launcher Ctrl+D") << "launcher" << int(Qt::Key_D) << ctrl << false << "" << "nothing";
    QTest::newRow("launcher Enter while editing") << "launcher" << int(Qt::Key_Return) << none << false
                                                  << "editing" << "nothing";
    QTest::newRow("launcher Enter with every slot in use") << "launcher" << int(Qt::Key_Return) << none << false
                                                           << "full" << "nothing";
    QTest::newRow("note Ctrl+N") << "note" << int(Qt::Key_N) << ctrl << false << "" << "new note";
    QTest::newRow("note Enter") << "note" << int(Qt::Key_Return) << none << false << "" << "edit FORM4";
    QTest::newRow("note Ctrl+D") << "note" << int(Qt::Key_D) << ctrl << false << "" << "thrown away";
    QTest::newRow("note Ctrl+D while editing") << "note" << int(Qt::Key_D) << ctrl << false << "editing"
                                               << "thrown away";
    QTest::newRow("note held Ctrl+D") << "note" << int(Qt::Key_D) << ctrl << true << "" << "nothing";
    QTest::newRow("note D alone") << "note" << int(Qt::Key_D) << none << false << "" << "nothing";
    QTest::newRow("note Space") << "note" << int(Qt::Key_Space) << none << false << "" << "nothing";
    QTest::newRow("note Ctrl+N with every slot in use") << "note" << int(Qt::Key_N) << ctrl << false << "full"
                                                        << "nothing";
}

void TestKeys::shouldAnswerKeys()
{
    QFETCH(QString, window);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, autoRepeat);
    QFETCH(QString, state);
    QFETCH(QString, expected);
    WidgetFixture fixture;
    const int lastInUse = state == QLatin1String("full") ? 17 : 4;
    for (int slot = 4; slot <= lastInUse; ++slot)
        fixture.save(NoteSection(slot), noteRecord(slot * 300, 1500));
    if (state == QLatin1String("full"))
        fixture.save(NoteSection(3), noteRecord());
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    QWidget *editing = state == QLatin1String("editing") ? fixture.openEditScreen(9) : nullptr;
    const QByteArray before = fixture.bytes();
    const NoteSettings note4 = fixture.load(NoteSection(4));

    press(window == QLatin1String("launcher") ? static_cast<QWidget *>(&launcher) : fixture.note(4), key,
          Qt::KeyboardModifiers(modifiers), autoRepeat);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    if (expected == QLatin1String("new note")) {
        QVERIFY(fixture.editScreen());
        QCOMPARE(EditSection, NoteSection(3));
        QCOMPARE(EditScreenOpen, 1);
    } else if (expected == QLatin1String("edit FORM4")) {
        QVERIFY(fixture.editScreen());
        QCOMPARE(EditSection, NoteSection(4));
    } else if (expected == QLatin1String("thrown away")) {
        // Written as the close mark writes it: the note's own keys, SIYOU 0.
        NoteSettings thrown = note4;
        thrown.SIYOU = 0;
        QCOMPARE(fixture.load(NoteSection(4)), thrown);
        QVERIFY(!fixture.note(4));
        QCOMPARE(fixture.editScreen(), editing);
    } else {
        QCOMPARE(fixture.bytes(), before);
        QCOMPARE(fixture.editScreen(), editing);
        QVERIFY(fixture.note(4));
    }
}

void TestKeys::shouldTabFromWindowToWindow()
{
    WidgetFixture fixture;
    for (int slot : {12, 4, 9})
        fixture.save(NoteSection(slot), noteRecord(slot * 300, 1500));
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    launcher.show();
    launcher.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&launcher));

    // The launcher, then the notes in slot order, round again; Shift+Tab back.
    const QList<QWidget *> forward{fixture.note(4), fixture.note(9), fixture.note(12), &launcher, fixture.note(4)};
    for (QWidget *next : forward) {
        press(QApplication::activeWindow(), Qt::Key_Tab);
        QTRY_COMPARE(QApplication::activeWindow(), next);
    }
    for (QWidget *previous : QList<QWidget *>{&launcher, fixture.note(12)}) {
        press(QApplication::activeWindow(), Qt::Key_Backtab, Qt::ShiftModifier);
        QTRY_COMPARE(QApplication::activeWindow(), previous);
    }
    // The window the keyboard took the user to has the keyboard itself.
    QCOMPARE(QApplication::focusWidget(), fixture.note(12));
    // Ctrl+Tab is no window key.
    press(fixture.note(12), Qt::Key_Tab, Qt::ControlModifier);
    QTest::qWait(50);
    QCOMPARE(QApplication::activeWindow(), fixture.note(12));
}

void TestKeys::shouldPutTextHandedOverAsTyped_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("plain") << QStringLiteral("テキスト") << QStringLiteral("テキスト");
    QTest::newRow("CR LF and lone CR are line breaks") << QStringLiteral("a\r\nb\rc") << QStringLiteral("a\nb\nc");
    QTest::newRow("line breaks at the end go") << QStringLiteral("buy milk\n\n") << QStringLiteral("buy milk");
    QTest::newRow("control characters go, tabs stay")
        << QStringLiteral("x\u0000y\u001b[1mz\tw\u007f") << QStringLiteral("xy[1mz\tw");
    QTest::newRow("empty: the new note's blank") << QString() << QStringLiteral(" ");
    QTest::newRow("only line breaks: the blank") << QStringLiteral("\r\n\n") << QStringLiteral(" ");
}

void TestKeys::shouldPutTextHandedOverAsTyped()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    WidgetFixture fixture;
    Form2 *screen = fixture.openEditScreen(3);
    screen->putText(text);
    QCOMPARE(child<QPlainTextEdit>(screen, "Text1")->toPlainText(), shown);
    // Nothing is written before ＯＫ.
    QVERIFY(!QFileInfo::exists(fixture.path()));
}

void TestKeys::shouldShowScreenReadersFramesAndButtons()
{
    WidgetFixture fixture;
    NoteSettings record = noteRecord();
    record.NAIYOU = QStringLiteral("  buy milk⇔and bread");
    fixture.save(NoteSection(3), record);
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    launcher.show();

    QAccessibleInterface *frame = accessible(&launcher);
    QCOMPARE(frame->role(), QAccessible::Window);
    QCOMPARE(frame->text(QAccessible::Name), QStringLiteral("Nopi +"));
    QVERIFY(frame->state().focusable);
    auto *quit = child<ImageControl>(&launcher, "Image1");
    QVERIFY(quit->isHidden());
    for (const auto &[name, text] : {std::pair{"Picture1", "新規作成"}, std::pair{"Image1", "終了"}}) {
        QAccessibleInterface *button = accessible(child<QWidget>(&launcher, name));
        QCOMPARE(button->role(), QAccessible::PushButton);
        QCOMPARE(button->text(QAccessible::Name), QString::fromUtf8(text));
        QVERIFY(button->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        QVERIFY(!button->state().focusable);
    }

    NoteForm *note = fixture.note(3);
    QAccessibleInterface *noteFrame = accessible(note);
    QCOMPARE(noteFrame->role(), QAccessible::Window);
    QCOMPARE(noteFrame->text(QAccessible::Name), QStringLiteral("buy milk"));
    QVERIFY(noteFrame->state().focusable);
    QVERIFY(noteFrame->text(QAccessible::Description).contains(QStringLiteral("Ctrl+D")));
    QAccessibleInterface *close = accessible(child<QWidget>(note, "Image1"));
    QCOMPARE(close->role(), QAccessible::PushButton);
    QCOMPARE(close->text(QAccessible::Name), QStringLiteral("閉じる"));

    // Pressed through its action, the button does what a click does.
    accessible(child<QWidget>(&launcher, "Picture1"))
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(fixture.editScreen());
    Form2 *screen = fixture.editScreen();
    QAccessibleInterface *editFrame = accessible(screen);
    QCOMPARE(editFrame->role(), QAccessible::Window);
    QCOMPARE(editFrame->text(QAccessible::Name), QStringLiteral("■ 編集画面"));
    screen->Timer1_Timer();
    QVERIFY(screen->windowTitle().contains(QLatin1String(" < ")));
    QCOMPARE(editFrame->text(QAccessible::Name), QStringLiteral("■ 編集画面"));
}

void TestKeys::shouldAnnounceARingingAlarm()
{
    WidgetFixture fixture(QDateTime(Monday, QTime(9, 29, 59, 500)));
    NoteSettings record = noteRecord();
    record.ALARM = 1;
    record.A_TIME = 930;
    fixture.save(NoteSection(3), record);
    NoteForm *note = fixture.showNote(3);
    const QString armed = note->accessibleDescription();
    QVERIFY(armed.contains(QStringLiteral("<09:30>")));
    QVERIFY(!armed.contains(QStringLiteral("鳴っています")));

    // Qt tells a screen reader of every change of the description; the
    // alert appears wherever the user is, drawn nowhere.
    auto *alert = child<QWidget>(note, "alarmAlert");
    QVERIFY(alert->isHidden());
    const QImage quiet = note->grab().toImage();
    fixture.setTime(QDateTime(Monday, QTime(9, 30, 0)));
    note->Timer1_Timer();
    QCOMPARE(fixture.load(NoteSection(3)).ALARM, 2);
    QVERIFY(note->accessibleDescription().contains(QStringLiteral("<09:30> が鳴っています")));
    QVERIFY(!alert->isHidden());
    QAccessibleInterface *announced = accessible(alert);
    QCOMPARE(announced->role(), QAccessible::Notification);
    QCOMPARE(announced->text(QAccessible::Name), QStringLiteral("アラーム 09:30 — memo"));
    QVERIFY(announced->text(QAccessible::Description).contains(QStringLiteral("ダブルクリック")));
    QVERIFY(alert->size().isEmpty());
    note->findChild<NoteText *>()->setVisible(true);
    QCOMPARE(note->grab().toImage(), quiet);

    press(note, Qt::Key_Return);
    QCOMPARE(fixture.load(NoteSection(3)).ALARM, 1);
    QCOMPARE(note->accessibleDescription(), armed);
    QVERIFY(alert->isHidden());

    // A note that was ringing when the program ended says so when it opens.
    record.ALARM = 2;
    fixture.save(NoteSection(5), record);
    QVERIFY(fixture.showNote(5)->accessibleDescription().contains(QStringLiteral("鳴っています")));
}

void TestKeys::shouldReadANotesTextByLines()
{
    WidgetFixture fixture;
    NoteSettings record = noteRecord();
    record.ALARM = 1;
    record.A_TIME = 12250930;
    record.NAIYOU = QStringLiteral("buy milk⇔and\tbread");
    fixture.save(NoteSection(3), record);
    NoteForm *note = fixture.showNote(3);
    note->show();

    // The lines as they show, the alarm's first; its name is no copy of them.
    QAccessibleInterface *text = accessible(note->findChild<NoteText *>());
    QCOMPARE(text->role(), QAccessible::StaticText);
    QVERIFY(text->state().readOnly);
    QVERIFY(text->text(QAccessible::Name).isEmpty());
    QAccessibleTextInterface *lines = text->textInterface();
    QVERIFY(lines);
    const QString shown = QStringLiteral("12/25 <09:30>\nbuy milk\nand\tbread");
    QCOMPARE(lines->text(0, lines->characterCount()), shown);
    int start = 0;
    int end = 0;
    const int inMilk = int(shown.indexOf(QLatin1String("milk")));
    QCOMPARE(lines->textAtOffset(inMilk, QAccessible::LineBoundary, &start, &end), QStringLiteral("buy milk\n"));
    QCOMPARE(lines->textBeforeOffset(inMilk, QAccessible::LineBoundary, &start, &end),
             QStringLiteral("12/25 <09:30>\n"));
    QCOMPARE(lines->textAfterOffset(inMilk, QAccessible::LineBoundary, &start, &end), QStringLiteral("and\tbread"));
    QCOMPARE(lines->textAfterOffset(int(shown.size()) - 1, QAccessible::LineBoundary, &start, &end), QString());
    QCOMPARE(lines->textAtOffset(inMilk, QAccessible::WordBoundary, &start, &end), QStringLiteral("milk"));

    // Each character is where it is drawn, and found there again: after
    // the tab too, on the third line.
    const int afterTab = int(shown.indexOf(QLatin1String("bread")));
    const QRect milk = lines->characterRect(inMilk);
    const QRect bread = lines->characterRect(afterTab);
    QVERIFY(!milk.isEmpty());
    QVERIFY(bread.top() > milk.top());
    QVERIFY(bread.left() > lines->characterRect(afterTab - 2).right());
    QCOMPARE(lines->offsetAtPoint(milk.center()), inMilk);
    QCOMPARE(lines->offsetAtPoint(bread.center()), afterTab);
    QCOMPARE(lines->offsetAtPoint(note->mapToGlobal(QPoint(-5, -5))), -1);
}

// The button is cut off the launcher: a screen reader must not offer it.
void TestKeys::shouldNotOfferTheNewNoteButtonWithEveryNoteInUse()
{
    WidgetFixture fixture;
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot)
        fixture.save(NoteSection(slot), noteRecord(slot * 300, 1500));
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    launcher.show();
    QAccessibleInterface *button = accessible(child<QWidget>(&launcher, "Picture1"));
    QVERIFY(button->state().invisible);
    QVERIFY(button->state().disabled);
    QVERIFY(accessible(&launcher)->text(QAccessible::Description).contains(QStringLiteral("15 枚すべて")));

    fixture.note(9)->Image1_Click();
    QVERIFY(!button->state().invisible);
    QVERIFY(!button->state().disabled);
    QVERIFY(!accessible(&launcher)->text(QAccessible::Description).contains(QStringLiteral("15 枚")));
}

// A mouse user never sees the mark: it comes with a key, goes with a press.
void TestKeys::shouldMarkTheFocusAfterAKeyOnly()
{
    WidgetFixture fixture;
    fixture.save(NoteSection(4), noteRecord());
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    launcher.show();
    launcher.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&launcher));
    auto *launcherMark = child<QWidget>(&launcher, "focusMark");
    auto *noteMark = child<QWidget>(fixture.note(4), "focusMark");
    // A right click does nothing but say the mouse is in use.
    QTest::mouseClick(&launcher, Qt::RightButton, {}, QPoint(10, 30));
    QVERIFY(launcherMark->isHidden());

    press(&launcher, Qt::Key_Shift);
    QVERIFY(launcherMark->isHidden());
    press(&launcher, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::activeWindow(), fixture.note(4));
    QVERIFY(!noteMark->isHidden());
    QVERIFY(launcherMark->isHidden());
    // Just inside the note's visible edge, all round it.
    const QRect visible = NoteRegion(fixture.note(4)->width(), fixture.note(4)->height());
    QCOMPARE(noteMark->mask().boundingRect(), visible.adjusted(1, 1, -2, -2));

    QTest::mousePress(fixture.note(4), Qt::LeftButton, {}, QPoint(30, 20));
    QTest::mouseRelease(fixture.note(4), Qt::LeftButton, {}, QPoint(30, 20));
    QVERIFY(noteMark->isHidden());
}

void TestKeys::shouldPlaceWindowsWithKeys_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QRect>("change"); // of the place, and of the size; none at all: QRect()

    const int alt = Qt::AltModifier;
    const int sizing = Qt::ControlModifier | Qt::ShiftModifier;
    QTest::newRow("note Alt+Right") << "note" << int(Qt::Key_Right) << alt << QRect(10, 0, 0, 0);
    QTest::newRow("note Alt+Up") << "note" << int(Qt::Key_Up) << alt << QRect(0, -10, 0, 0);
    QTest::newRow("note Alt+keypad Left") << "note" << int(Qt::Key_Left) << int(alt | Qt::KeypadModifier)
                                          << QRect(-10, 0, 0, 0);
    QTest::newRow("note Ctrl+Shift+Right wider") << "note" << int(Qt::Key_Right) << sizing << QRect(0, 0, 10, 0);
    QTest::newRow("note Ctrl+Shift+Down taller") << "note" << int(Qt::Key_Down) << sizing << QRect(0, 0, 0, 10);
    QTest::newRow("note Ctrl+Shift+Left narrower") << "note" << int(Qt::Key_Left) << sizing << QRect(0, 0, -10, 0);
    QTest::newRow("note Ctrl+Shift+Up no lower than a line")
        << "small note" << int(Qt::Key_Up) << sizing << QRect(0, 0, 0, 0);
    QTest::newRow("note Shift+Alt+Right is the desktop's") << "note" << int(Qt::Key_Right)
                                                           << int(Qt::ShiftModifier | Qt::AltModifier) << QRect();
    QTest::newRow("note Ctrl+Alt+Right is the desktop's") << "note" << int(Qt::Key_Right)
                                                          << int(Qt::ControlModifier | Qt::AltModifier) << QRect();
    QTest::newRow("note Right alone") << "note" << int(Qt::Key_Right) << int(Qt::NoModifier) << QRect();
    QTest::newRow("launcher Alt+Down") << "launcher" << int(Qt::Key_Down) << alt << QRect(0, 10, 0, 0);
    QTest::newRow("launcher Ctrl+Shift+Right keeps its size") << "launcher" << int(Qt::Key_Right) << sizing
                                                              << QRect();
}

void TestKeys::shouldPlaceWindowsWithKeys()
{
    QFETCH(QString, window);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QRect, change);
    WidgetFixture fixture;
    NoteSettings record = noteRecord();
    if (window == QLatin1String("small note"))
        record.TATE = 15;
    fixture.save(NoteSection(3), record);
    Form1 &launcher = fixture.launcher();
    QVERIFY(launcher.Form_Load());
    QWidget *target = window == QLatin1String("launcher") ? static_cast<QWidget *>(&launcher) : fixture.note(3);
    // A note too low for a line of its text is made higher and written so.
    QTRY_COMPARE(fixture.load(NoteSection(3)).TATE, fixture.note(3)->height() * 15);
    const QRect before = target->geometry();
    const QByteArray bytes = fixture.bytes();

    press(target, key, Qt::KeyboardModifiers(modifiers));

    QCOMPARE(target->geometry(), QRect(before.topLeft() + change.topLeft(), before.size() + change.size()));
    // A note's new place is the user's, written once the keys rest; the
    // launcher's waits for the next new note, as after its drag.
    QCOMPARE(UserIsPlacing(target), target != &launcher && change != QRect());
    QCOMPARE(fixture.bytes(), bytes);
}

void TestKeys::shouldWriteAPlaceMadeWithKeysOnceTheyRest()
{
    WidgetFixture fixture;
    fixture.save(NoteSection(3), noteRecord(3000, 3000));
    NoteForm *note = fixture.showNote(3);
    const QByteArray bytes = fixture.bytes();
    const auto stored = [&fixture] {
        const NoteSettings section = fixture.load(NoteSection(3));
        return QRect(section.POJIX, section.POJIY, section.YOKO, section.TATE);
    };

    // At a person's pace, one press every 0.3 s.
    using Press = std::pair<int, Qt::KeyboardModifiers>;
    for (const auto &[key, modifiers] : {Press{Qt::Key_Right, Qt::AltModifier}, Press{Qt::Key_Right, Qt::AltModifier},
                                         Press{Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier}}) {
        press(note, key, modifiers);
        QTest::qWait(300);
        QCOMPARE(fixture.bytes(), bytes);
    }
    QTRY_COMPARE_WITH_TIMEOUT(stored(), QRect(3300, 3000, 2700, 1650), 3000);
}

void TestKeys::shouldLabelTheFontDialogsLists()
{
    WidgetFixture fixture;
    FontDialog dialog(QFont(QStringLiteral("IPAPGothic"), 10));
    QCOMPARE(labelsOf(child<QComboBox>(&dialog, "family")), QStringList{QStringLiteral("フォント名")});
    QCOMPARE(labelsOf(child<QComboBox>(&dialog, "size")), QStringList{QStringLiteral("サイズ")});
    QCOMPARE(labelsOf(child<QWidget>(&dialog, "sample")), QStringList{QStringLiteral("サンプル")});
}

QTEST_MAIN(TestKeys)
#include "tst_keys.moc"
