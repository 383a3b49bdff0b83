// SPDX-License-Identifier: MIT
// The edit screen: opening a new or stored note, the alarm fields, the
// checks of ＯＫ, the colour and font buttons, Cancel, and the quick path.

#include "WidgetFixture.h"

#include "editor/FontDialog.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryFile>
#include <QTimer>

namespace {

const QDate Monday(2026, 12, 7);

QLineEdit *field(Form2 *screen, const char *name)
{
    return child<QLineEdit>(screen, name);
}

QStringList alarmFields(Form2 *screen)
{
    QStringList texts;
    for (const char *name : {"Text2", "Text3", "Text4", "Text5"})
        texts << field(screen, name)->text();
    return texts;
}

QStringList visibleAlarmFields(Form2 *screen)
{
    QStringList visible;
    for (const char *name : {"Text2", "Label1", "Text3", "Check1", "Text4", "Label2", "Text5"}) {
        if (!child<QWidget>(screen, name)->isHidden())
            visible << QString::fromLatin1(name);
    }
    return visible;
}

// Answers the next modal box (message or font dialog) once it shows.
class ModalAnswer : public QObject
{
public:
    explicit ModalAnswer(std::function<void(QWidget *)> answer) : m_answer(std::move(answer))
    {
        QTimer::singleShot(0, this, &ModalAnswer::poll);
    }
    int answered = 0;
    QString title;
    QString text;
    QStringList buttonsWithIcons;

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            QTimer::singleShot(10, this, &ModalAnswer::poll);
            return;
        }
        ++answered;
        title = modal->windowTitle();
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            text = box->text();
        for (QAbstractButton *button : modal->findChildren<QAbstractButton *>()) {
            if (!button->icon().isNull())
                buttonsWithIcons << button->text();
        }
        m_answer(modal);
    }
    std::function<void(QWidget *)> m_answer;
};

struct OkResult
{
    int messages = 0;
    QString title;
    QString text;
    QStringList buttonsWithIcons;
};

OkResult pressOk(Form2 *screen)
{
    ModalAnswer answer([](QWidget *modal) { static_cast<QDialog *>(modal)->accept(); });
    QTest::mouseClick(child<QPushButton>(screen, "Command1"), Qt::LeftButton);
    return {answer.answered, answer.title, answer.text, answer.buttonsWithIcons};
}

// Shows the screen as the user meets it, active, with the keyboard focus.
void showActive(Form2 *screen)
{
    screen->show();
    screen->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(screen));
}

// Types into a field key by key, as the keyboard does: what the field
// refuses never gets in.
void typeInto(QLineEdit *field, const QString &text)
{
    field->clear();
    for (const QChar c : text) {
        int key = Qt::Key_unknown;
        if (c.unicode() < 0x80)
            key = c.toUpper().unicode(); // Qt's key codes for ASCII are the upper-case characters
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &press);
    }
}

void setAlarm(Form2 *screen, const QString &hour, const QString &minute, bool dated = false,
              const QString &month = {}, const QString &day = {})
{
    child<QRadioButton>(screen, "Option1_1")->click();
    typeInto(field(screen, "Text2"), hour);
    typeInto(field(screen, "Text3"), minute);
    child<QCheckBox>(screen, "Check1")->setChecked(dated);
    if (dated) {
        typeInto(field(screen, "Text4"), month);
        typeInto(field(screen, "Text5"), day);
    }
}

}

class TestEditor : public QObject
{
    Q_OBJECT

private slots:
    void shouldOpenAFreeSlotWithNewNoteDefaults();
    void shouldOpenOnTheMonitorThatHoldsThePointer_data();
    void shouldOpenOnTheMonitorThatHoldsThePointer();
    void shouldOpenTheAlarmFields_data();
    void shouldOpenTheAlarmFields();
    void shouldOpenStoredTextWithItsLineBreaks();
    void shouldKeepTypedValuesWhenSwitching();
    void shouldCheckTheAlarmOnOk_data();
    void shouldCheckTheAlarmOnOk();
    void shouldRefuseTextTheFileCannotHold();
    void shouldHandTheTextOverWithItsLineBreaks();
    void shouldNarrowTheLauncherWhenNoSlotIsLeft_data();
    void shouldNarrowTheLauncherWhenNoSlotIsLeft();
    void shouldStepThroughTheFourColours();
    void shouldTakeTheFontFromTheDialog_data();
    void shouldTakeTheFontFromTheDialog();
    void shouldOfferRealFacesOnly();
    void shouldWriteNothingOnCancel_data();
    void shouldWriteNothingOnCancel();
    void shouldShowTheClockInTheCaption();
    void shouldMakeANoteByTextTabEnter();
    void shouldPressNothingOnEnterOutsideTheButtons_data();
    void shouldPressNothingOnEnterOutsideTheButtons();
    void shouldTabOntoTheOptionThatIsOn_data();
    void shouldTabOntoTheOptionThatIsOn();
    void shouldKeepTheInputMethodOutOfTheAlarmBoxes();
    void shouldTakeFullWidthDigitsAsDigits_data();
    void shouldTakeFullWidthDigitsAsDigits();
};

void TestEditor::shouldOpenAFreeSlotWithNewNoteDefaults()
{
    WidgetFixture fixture(QDateTime(Monday, QTime(14, 40, 0)));
    Form2 *screen = fixture.openEditScreen(3);

    auto *text = child<QPlainTextEdit>(screen, "Text1");
    QCOMPARE(text->toPlainText(), QStringLiteral(" "));
    QCOMPARE(text->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0x80));
    QCOMPARE(text->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
    QCOMPARE(text->font().pointSize(), 10);
    QVERIFY(child<QRadioButton>(screen, "Option1_0")->isChecked());
    QCOMPARE(SharedRecord.SIYOU, 1);
    QCOMPARE(SharedRecord.B_Color, 8454143);
    const QSize screenSize = QGuiApplication::primaryScreen()->geometry().size();
    QCOMPARE(SharedRecord.POJIX, screenSize.width() * 15 / 2 - 2540);
    QCOMPARE(SharedRecord.POJIY, screenSize.height() * 15 / 2 - 310);
    QVERIFY(!QFileInfo::exists(fixture.path()));
    // The address slot holds the program's name and the version the build
    // was made from, not a web address.
    QCOMPARE(screen->windowTitle(), QStringLiteral("■ 編集画面 　( Nopi " NOPI_VERSION " )"));
    const QRegularExpression version(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"));
    QVERIFY2(version.match(QLatin1String(NOPI_VERSION)).hasMatch(), NOPI_VERSION);
}

void TestEditor::shouldOpenOnTheMonitorThatHoldsThePointer_data()
{
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QPoint>("place");
    QTest::addColumn<int>("pojix");
    QTest::addColumn<int>("pojiy");

    // Monitors as main() sets them up: 800 x 600 at the origin, 1024 x 768
    // to its right and 120 pixels lower. The screen is 346 x 186 outside.
    QTest::newRow("first monitor") << QPoint(100, 100) << QPoint(227, 207) << 800 * 15 / 2 - 2540
                                   << 600 * 15 / 2 - 310;
    QTest::newRow("second monitor, offset") << QPoint(1000, 300) << QPoint(800 + 339, 120 + 291)
                                            << (800 + 1024 / 2) * 15 - 2540 << (120 + 768 / 2) * 15 - 310;
}

// The edit screen and a new note's place are on the monitor the user is
// working on, centred by the screen's outer edge.
void TestEditor::shouldOpenOnTheMonitorThatHoldsThePointer()
{
    QFETCH(QPoint, pointer);
    QFETCH(QPoint, place);
    QFETCH(int, pojix);
    QFETCH(int, pojiy);
    QCOMPARE(QGuiApplication::screens().size(), 2);
    WidgetFixture fixture;
    QCursor::setPos(pointer);
    Form2 *screen = fixture.openEditScreen(3);
    QCursor::setPos(QPoint(0, 0));

    QCOMPARE(screen->frameGeometry(), QRect(place, QSize(346, 186)));
    QCOMPARE(SharedRecord.POJIX, pojix);
    QCOMPARE(SharedRecord.POJIY, pojiy);
}

void TestEditor::shouldOpenTheAlarmFields_data()
{
    QTest::addColumn<QTime>("now");
    QTest::addColumn<int>("alarm");
    QTest::addColumn<int>("aTime");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("dated");
    QTest::addColumn<QStringList>("visible");

    const QStringList none;
    const QStringList timeFields = {"Text2", "Label1", "Text3", "Check1"};
    const QStringList allFields = timeFields + QStringList{"Text4", "Label2", "Text5"};
    QTest::newRow("off at 14:40") << QTime(14, 40) << 0 << 0 << QStringList{"15", "00", "12", "07"} << false << none;
    QTest::newRow("off at 23:10") << QTime(23, 10) << 0 << 0 << QStringList{"00", "00", "12", "07"} << false << none;
    QTest::newRow("on, 905") << QTime(8, 0) << 1 << 905 << QStringList{"09", "05", "12", "07"} << false << timeFields;
    QTest::newRow("on, 12251230") << QTime(8, 0) << 1 << 12251230 << QStringList{"12", "30", "12", "25"} << true
                                  << allFields;
    QTest::newRow("on, 1010005") << QTime(8, 0) << 1 << 1010005 << QStringList{"00", "05", "01", "01"} << true
                                 << allFields;
    QTest::newRow("ringing opens as on") << QTime(8, 0) << 2 << 930 << QStringList{"09", "30", "12", "07"} << false
                                         << timeFields;
    QTest::newRow("out of range shows its digits") << QTime(8, 0) << 1 << 1260
                                                   << QStringList{"12", "60", "12", "07"} << false << timeFields;
}

void TestEditor::shouldOpenTheAlarmFields()
{
    QFETCH(QTime, now);
    QFETCH(int, alarm);
    QFETCH(int, aTime);
    QFETCH(QStringList, texts);
    QFETCH(bool, dated);
    QFETCH(QStringList, visible);
    WidgetFixture fixture(QDateTime(Monday, now));
    NoteSettings record = noteRecord();
    record.ALARM = alarm;
    record.A_TIME = aTime;
    fixture.save(NoteSection(3), record);

    Form2 *screen = fixture.openEditScreen(3);
    QCOMPARE(alarmFields(screen), texts);
    QCOMPARE(child<QCheckBox>(screen, "Check1")->isChecked(), dated);
    QCOMPARE(visibleAlarmFields(screen), visible);
    QCOMPARE(child<QRadioButton>(screen, "Option1_1")->isChecked(), alarm != 0);
    QCOMPARE(SharedRecord.ALARM, alarm != 0 ? 1 : 0);
    // Only the field with the focus shows a selection: on opening, none.
    for (const char *name : {"Text2", "Text3", "Text4", "Text5"})
        QVERIFY2(!field(screen, name)->hasSelectedText(), name);
    if (alarm == 0)
        return;
    // Tab into a field selects its value, so typing replaces it; the
    // selection goes with the focus.
    showActive(screen);
    field(screen, "Text2")->setFocus(Qt::TabFocusReason);
    QCOMPARE(field(screen, "Text2")->selectedText(), texts[0]);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), field(screen, "Text3"));
    QCOMPARE(field(screen, "Text3")->selectedText(), texts[1]);
    QVERIFY(!field(screen, "Text2")->hasSelectedText());
}

void TestEditor::shouldOpenStoredTextWithItsLineBreaks()
{
    WidgetFixture fixture;
    NoteSettings record = noteRecord();
    record.NAIYOU = QStringLiteral("a⇔b⇔⇔c");
    record.B_Color = 12648384;
    fixture.save(NoteSection(3), record);
    Form2 *screen = fixture.openEditScreen(3);
    auto *text = child<QPlainTextEdit>(screen, "Text1");
    QCOMPARE(text->toPlainText(), QStringLiteral("a\nb\n\nc"));
    QCOMPARE(text->palette().color(QPalette::Base), QColor(0xC0, 0xFF, 0xC0));
}

void TestEditor::shouldKeepTypedValuesWhenSwitching()
{
    WidgetFixture fixture;
    Form2 *screen = fixture.openEditScreen(3);
    setAlarm(screen, QStringLiteral("07"), QStringLiteral("45"), true, QStringLiteral("03"), QStringLiteral("14"));
    QCOMPARE(SharedRecord.ALARM, 1);

    child<QRadioButton>(screen, "Option1_0")->click();
    QCOMPARE(SharedRecord.ALARM, 0);
    QCOMPARE(visibleAlarmFields(screen), QStringList());
    child<QRadioButton>(screen, "Option1_1")->click();
    QCOMPARE(alarmFields(screen), (QStringList{"07", "45", "03", "14"}));
    QCOMPARE(visibleAlarmFields(screen).size(), 7);

    child<QCheckBox>(screen, "Check1")->click();
    QCOMPARE(visibleAlarmFields(screen), (QStringList{"Text2", "Label1", "Text3", "Check1"}));
    QCOMPARE(alarmFields(screen), (QStringList{"07", "45", "03", "14"}));
}

void TestEditor::shouldCheckTheAlarmOnOk_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<QStringList>("typed"); // hour, minute[, month, day], key by key
    QTest::addColumn<QString>("message");   // empty when accepted
    QTest::addColumn<int>("aTime");
    QTest::addColumn<QString>("wrong");     // the field that gets the focus after the message

    const QString time = QStringLiteral("入力した「時.分」の数値が不正なので、再入力して下さい。");
    const QString date = QStringLiteral("入力した「月.日」の数値が不正なので、再入力して下さい。");
    QTest::newRow("7:05") << 2026 << QStringList{"7", "5"} << QString() << 705 << QString();
    QTest::newRow("blanks cannot be typed") << 2026 << QStringList{" 23 ", " 59"} << QString() << 2359 << QString();
    QTest::newRow("empty is 00:00") << 2026 << QStringList{"", ""} << QString() << 0 << QString();
    QTest::newRow("full-width digits") << 2026 << QStringList{"１２", "３０"} << QString() << 1230 << QString();
    QTest::newRow("hour 24") << 2026 << QStringList{"24", "00"} << time << -1 << "Text2";
    QTest::newRow("minute 60") << 2026 << QStringList{"12", "60"} << time << -1 << "Text3";
    QTest::newRow("both wrong: the hour first") << 2026 << QStringList{"99", "99"} << time << -1 << "Text2";
    // Only digits go in: a sign, a point or a letter cannot be typed.
    QTest::newRow("-1 cannot be typed: 1") << 2026 << QStringList{"-1", "00"} << QString() << 100 << QString();
    QTest::newRow("1.5 cannot be typed: 15") << 2026 << QStringList{"1.5", "0"} << QString() << 1500 << QString();
    QTest::newRow("abc cannot be typed: empty") << 2026 << QStringList{"abc", "7"} << QString() << 7 << QString();
    QTest::newRow("12/25 12:30") << 2026 << QStringList{"12", "30", "12", "25"} << QString() << 12251230
                                 << QString();
    QTest::newRow("2/30") << 2026 << QStringList{"12", "30", "2", "30"} << date << -1 << "Text5";
    QTest::newRow("month 13") << 2026 << QStringList{"12", "30", "13", "1"} << date << -1 << "Text4";
    QTest::newRow("empty month") << 2026 << QStringList{"12", "30", "", "1"} << date << -1 << "Text4";
    QTest::newRow("29 February in a leap year") << 2028 << QStringList{"8", "0", "02", "29"} << QString()
                                                << 2290800 << QString();
    QTest::newRow("29 February otherwise") << 2027 << QStringList{"8", "0", "02", "29"} << date << -1 << "Text5";
}

void TestEditor::shouldCheckTheAlarmOnOk()
{
    QFETCH(int, year);
    QFETCH(QStringList, typed);
    QFETCH(QString, message);
    QFETCH(int, aTime);
    QFETCH(QString, wrong);
    WidgetFixture fixture(QDateTime(QDate(year, 1, 10), QTime(8, 0)));
    fixture.write("[FORM1]\r\nPOJIX= 15\r\n");
    Form2 *screen = fixture.openEditScreen(3);
    const bool dated = typed.size() == 4;
    setAlarm(screen, typed[0], typed[1], dated, dated ? typed[2] : QString(), dated ? typed[3] : QString());
    const QStringList fields = alarmFields(screen);

    const OkResult result = pressOk(screen);
    if (message.isEmpty()) {
        QCOMPARE(result.messages, 0);
        QVERIFY(!screen->isVisible());
        QCOMPARE(fixture.load(NoteSection(3)).A_TIME, aTime);
        QCOMPARE(fixture.load(NoteSection(3)).ALARM, 1);
        QCOMPARE(EditScreenOpen, 0);
    } else {
        QCOMPARE(result.messages, 1);
        QCOMPARE(result.title, QStringLiteral("エラーメッセージ"));
        QCOMPARE(result.text, message);
        QCOMPARE(result.buttonsWithIcons, QStringList());
        QVERIFY(screen->isVisible());
        QCOMPARE(fixture.bytes(), QByteArray("[FORM1]\r\nPOJIX= 15\r\n"));
        QCOMPARE(EditScreenOpen, 1);
        QCOMPARE(alarmFields(screen), fields);
        // The field that was wrong has the focus, its value selected to be typed over.
        QLineEdit *wrongField = field(screen, qPrintable(wrong));
        QCOMPARE(screen->focusWidget(), wrongField);
        QCOMPARE(wrongField->selectedText(), wrongField->text());
    }
}

void TestEditor::shouldRefuseTextTheFileCannotHold()
{
    WidgetFixture fixture;
    Form2 *screen = fixture.openEditScreen(3);
    child<QPlainTextEdit>(screen, "Text1")->setPlainText(QStringLiteral("lunch 🍱"));
    OkResult result = pressOk(screen);
    QCOMPARE(result.messages, 1);
    QCOMPARE(result.text, QStringLiteral("入力した文章に保存できない文字が含まれているので、修正して下さい。"));
    QVERIFY(screen->isVisible());
    // The character to change is selected in the text.
    QCOMPARE(screen->focusWidget(), child<QWidget>(screen, "Text1"));
    QCOMPARE(child<QPlainTextEdit>(screen, "Text1")->textCursor().selectedText(), QStringLiteral("🍱"));
    QVERIFY(!QFileInfo::exists(fixture.path()));

    child<QPlainTextEdit>(screen, "Text1")->setPlainText(QStringLiteral("lunch 弁当 ①"));
    result = pressOk(screen);
    QCOMPARE(result.messages, 0);
    QCOMPARE(fixture.load(NoteSection(3)).NAIYOU, QStringLiteral("lunch 弁当 ①"));
}

// Records the shared record at the moment OK hands it to the note window.
class RecordingDesktop : public Desktop
{
public:
    void reloadNote(int slot) override
    {
        handedOver = SharedRecord;
        Desktop::reloadNote(slot);
    }
    NoteSettings handedOver;
};

void TestEditor::shouldHandTheTextOverWithItsLineBreaks()
{
    WidgetFixture fixture;
    RecordingDesktop desktop;
    Forms::install(&desktop);
    EditScreenOpen = 1;
    EditSection = NoteSection(3);
    UseSharedRecord = 1;
    desktop.openEditScreen();
    auto *screen = static_cast<Form2 *>(desktop.editScreen());
    child<QPlainTextEdit>(screen, "Text1")->setPlainText(QStringLiteral("a\nb"));

    QCOMPARE(pressOk(screen).messages, 0);
    QCOMPARE(CurrentSection, NoteSection(17));
    QCOMPARE(UseSharedRecord, 0);
    QCOMPARE(desktop.handedOver.NAIYOU, QStringLiteral("a\r\nb\n"));
    QCOMPARE(fixture.load(NoteSection(3)).NAIYOU, QStringLiteral("a⇔b"));
    QVERIFY(desktop.note(3));
    Forms::install(&fixture.desktop());
}

void TestEditor::shouldNarrowTheLauncherWhenNoSlotIsLeft_data()
{
    QTest::addColumn<int>("othersInUse");
    QTest::addColumn<int>("width");
    QTest::newRow("14 others") << 14 << 1275;
    QTest::newRow("13 others") << 13 << 1710;
    QTest::newRow("none") << 0 << 1710;
}

void TestEditor::shouldNarrowTheLauncherWhenNoSlotIsLeft()
{
    QFETCH(int, othersInUse);
    QFETCH(int, width);
    WidgetFixture fixture;
    for (int slot = 4; slot < 4 + othersInUse; ++slot)
        fixture.save(NoteSection(slot), noteRecord());
    fixture.launcher().setWidthTwips(1277);
    Form2 *screen = fixture.openEditScreen(3);
    QCOMPARE(pressOk(screen).messages, 0);

    QCOMPARE(fixture.launcher().widthTwips(), width);
    QCOMPARE(fixture.launcher().mask().boundingRect(), QRect(3, 24, width / 15 - 6, 43));
    QCOMPARE(LauncherRefresh, quint8(2));
}

void TestEditor::shouldStepThroughTheFourColours()
{
    WidgetFixture fixture;
    NoteSettings record = noteRecord();
    record.B_Color = 12632319;
    fixture.save(NoteSection(3), record);
    Form2 *screen = fixture.openEditScreen(3);
    auto *color = child<QPushButton>(screen, "Command3");

    QList<int> seen;
    for (int press = 0; press < 4; ++press) {
        color->click();
        seen << SharedRecord.B_Color;
    }
    QCOMPARE(seen, (QList<int>{12648384, 16777088, 8454143, 12632319}));
    QCOMPARE(child<QPlainTextEdit>(screen, "Text1")->palette().color(QPalette::Base), QColor(0xFF, 0xC0, 0xC0));

    SharedRecord.B_Color = 0;
    screen->Command2_Click();
    record.B_Color = 255;
    fixture.save(NoteSection(4), record);
    screen = fixture.openEditScreen(4);
    child<QPushButton>(screen, "Command3")->click();
    QCOMPARE(SharedRecord.B_Color, 8454143);
}

void TestEditor::shouldTakeTheFontFromTheDialog_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("size");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<int>("expectedSize");
    QTest::newRow("10.5 rounds to 10") << "DejaVu Sans" << 10.5 << false << 10;
    QTest::newRow("11.5 rounds to 12") << "DejaVu Sans" << 11.5 << true << 12;
    // The Japanese fonts have no bold face; bold is still offered and kept.
    QTest::newRow("bold IPA gothic") << "IPAPGothic" << 14.0 << true << 14;
}

void TestEditor::shouldTakeTheFontFromTheDialog()
{
    QFETCH(QString, family);
    QFETCH(double, size);
    QFETCH(bool, bold);
    QFETCH(int, expectedSize);
    WidgetFixture fixture;
    Form2 *screen = fixture.openEditScreen(3);

    QFont wanted(family);
    wanted.setPointSizeF(size);
    wanted.setBold(bold);
    QFont offered;
    {
        ModalAnswer answer([&](QWidget *modal) {
            auto *dialog = static_cast<FontDialog *>(modal);
            offered = dialog->currentFont();
            dialog->setCurrentFont(wanted);
            dialog->accept();
        });
        screen->Command4_Click();
        QCOMPARE(answer.title, QStringLiteral("フォントの変更（１枚毎に設定可能）"));
    }
    QCOMPARE(SharedRecord.FName, family);
    QCOMPARE(SharedRecord.FSize, expectedSize);
    QCOMPARE(SharedRecord.FBold, bold ? QStringLiteral("True") : QStringLiteral("False"));
    QCOMPARE(SharedRecord.FItalic, QStringLiteral("False"));
    QCOMPARE(child<QPlainTextEdit>(screen, "Text1")->font().family(), family);
    QCOMPARE(child<QPlainTextEdit>(screen, "Text1")->font().bold(), bold);
    QCOMPARE(offered.pointSize(), 10); // the dialog's own start, not the note's font

    // The dialog starts from the previous choice; cancelling changes nothing.
    const NoteSettings before = SharedRecord;
    {
        ModalAnswer answer([&](QWidget *modal) {
            offered = static_cast<FontDialog *>(modal)->currentFont();
            static_cast<QDialog *>(modal)->reject();
        });
        screen->Command4_Click();
    }
    QCOMPARE(offered.family(), family);
    QCOMPARE(offered.bold(), bold);
    QCOMPARE(SharedRecord, before);
}

void TestEditor::shouldOfferRealFacesOnly()
{
    WidgetFixture fixture;
    Form2 *screen = fixture.openEditScreen(3);
    QStringList families;
    QString shown;
    QStringList buttonsWithIcons;
    {
        ModalAnswer answer([&](QWidget *modal) {
            auto *family = child<QComboBox>(modal, "family");
            for (int index = 0; index < family->count(); ++index)
                families << family->itemText(index);
            shown = family->currentText();
            static_cast<QDialog *>(modal)->accept();
        });
        screen->Command4_Click();
        buttonsWithIcons = answer.buttonsWithIcons;
    }
    QVERIFY(!families.isEmpty());
    for (const QString &family : families) {
        QVERIFY2(!family.contains(QLatin1Char('[')), qPrintable(family));
        QCOMPARE(families.count(family), 1);
    }
    for (const char *pictures : {"D050000L", "Standard Symbols PS"})
        QVERIFY2(!families.contains(QLatin1String(pictures)), pictures);
    QVERIFY(families.contains(QStringLiteral("Nimbus Sans")));
    // "SYSTEM" is drawn in the Japanese gothic; ＯＫ stores that face.
    QCOMPARE(shown, QStringLiteral("IPAPGothic"));
    QCOMPARE(SharedRecord.FName, QStringLiteral("IPAPGothic"));
    QCOMPARE(SharedRecord.FSize, 10);
    QCOMPARE(buttonsWithIcons, QStringList());
}

void TestEditor::shouldWriteNothingOnCancel_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Cancel") << "Cancel";
    QTest::newRow("Esc") << "Esc";
    QTest::newRow("the window manager's close") << "close";
}

void TestEditor::shouldWriteNothingOnCancel()
{
    QFETCH(QString, way);
    WidgetFixture fixture;
    NoteSettings record = noteRecord();
    fixture.save(NoteSection(3), record);
    NoteForm *note = fixture.showNote(3);
    const QByteArray before = fixture.bytes();
    const QFont noteFont = child<NoteText>(note, "Label1")->font();

    Form2 *screen = fixture.openEditScreen(3);
    child<QPushButton>(screen, "Command3")->click();
    {
        ModalAnswer answer([](QWidget *modal) {
            auto *dialog = static_cast<FontDialog *>(modal);
            dialog->setCurrentFont(QFont(QStringLiteral("DejaVu Serif"), 20));
            dialog->accept();
        });
        screen->Command4_Click();
    }
    if (way == QLatin1String("Cancel"))
        QTest::mouseClick(child<QPushButton>(screen, "Command2"), Qt::LeftButton);
    else if (way == QLatin1String("Esc"))
        QTest::keyClick(screen, Qt::Key_Escape);
    else
        screen->close();

    QVERIFY(!screen->isVisible());
    QCOMPARE(EditScreenOpen, 0);
    QCOMPARE(LauncherRefresh, quint8(2));
    QCOMPARE(fixture.bytes(), before);
    QCOMPARE(child<NoteText>(note, "Label1")->font(), noteFont);

    screen = fixture.openEditScreen(3);
    QCOMPARE(child<QPlainTextEdit>(screen, "Text1")->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0x80));
    QCOMPARE(SharedRecord.FSize, 10);
}

void TestEditor::shouldShowTheClockInTheCaption()
{
    WidgetFixture fixture(QDateTime(Monday, QTime(9, 5, 7)));
    Form2 *screen = fixture.openEditScreen(3);
    screen->Timer1_Timer();
    QCOMPARE(screen->windowTitle(), QStringLiteral("■ 編集画面  < 09:05:07 >  Nopi " NOPI_VERSION));
}

void TestEditor::shouldMakeANoteByTextTabEnter()
{
    WidgetFixture fixture;
    Form2 *screen = fixture.openEditScreen(3);
    screen->show();
    QVERIFY(QTest::qWaitForWindowActive(screen));
    auto *text = child<QPlainTextEdit>(screen, "Text1");
    QCOMPARE(QApplication::focusWidget(), text);

    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("hello"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>(screen, "Command1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

    QVERIFY(!screen->isVisible());
    const NoteSettings stored = fixture.load(NoteSection(3));
    QCOMPARE(stored.SIYOU, 1);
    QCOMPARE(stored.NAIYOU, QStringLiteral("hello"));
    QCOMPARE(stored.B_Color, 8454143);
    QCOMPARE(stored.FName, QStringLiteral("ＭＳ Ｐゴシック"));
    QVERIFY(fixture.note(3));
}

void TestEditor::shouldPressNothingOnEnterOutsideTheButtons_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::newRow("Return in the hour box") << "Text2" << int(Qt::Key_Return);
    QTest::newRow("Return in the minute box") << "Text3" << int(Qt::Key_Return);
    QTest::newRow("Return in the month box") << "Text4" << int(Qt::Key_Return);
    QTest::newRow("Return in the day box") << "Text5" << int(Qt::Key_Return);
    QTest::newRow("Enter in the hour box") << "Text2" << int(Qt::Key_Enter);
    QTest::newRow("Return on OFF") << "Option1_0" << int(Qt::Key_Return);
    QTest::newRow("Return on ON") << "Option1_1" << int(Qt::Key_Return);
    QTest::newRow("Return on Date") << "Check1" << int(Qt::Key_Return);
}

// A user who presses Enter to move on must not save a half-typed alarm.
void TestEditor::shouldPressNothingOnEnterOutsideTheButtons()
{
    QFETCH(QString, control);
    QFETCH(int, key);
    WidgetFixture fixture;
    NoteSettings record = noteRecord();
    record.ALARM = 1;
    record.A_TIME = 12251230;
    fixture.save(NoteSection(3), record);
    const QByteArray before = fixture.bytes();
    Form2 *screen = fixture.openEditScreen(3);
    showActive(screen);

    auto *widget = child<QWidget>(screen, qPrintable(control));
    widget->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), widget);
    QCOMPARE(child<QPushButton>(screen, "Command1")->isDefault(), false);
    QTest::keyClick(widget, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);

    QVERIFY(screen->isVisible());
    QCOMPARE(EditScreenOpen, 1);
    QCOMPARE(fixture.bytes(), before);
    QCOMPARE(SharedRecord.ALARM, 1);
}

void TestEditor::shouldTabOntoTheOptionThatIsOn_data()
{
    QTest::addColumn<int>("alarm");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("after");
    QTest::newRow("ON selected") << 1 << "Option1_1" << "Text2";
    QTest::newRow("OFF selected") << 0 << "Option1_0" << "Command4";
}

// The switch is one tab stop, on the option that is on: a Space there
// changes nothing, and the arrow keys still move between the two.
void TestEditor::shouldTabOntoTheOptionThatIsOn()
{
    QFETCH(int, alarm);
    QFETCH(QString, selected);
    QFETCH(QString, after);
    WidgetFixture fixture;
    NoteSettings record = noteRecord();
    record.ALARM = alarm;
    record.A_TIME = 930;
    fixture.save(NoteSection(3), record);
    Form2 *screen = fixture.openEditScreen(3);
    showActive(screen);

    child<QWidget>(screen, "Command2")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), selected);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(SharedRecord.ALARM, alarm);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), after);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget()->objectName(), selected);

    QTest::keyClick(QApplication::focusWidget(), alarm ? Qt::Key_Left : Qt::Key_Right);
    QCOMPARE(SharedRecord.ALARM, 1 - alarm);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), alarm ? QStringLiteral("Option1_0") : QStringLiteral("Option1_1"));
}

// An input method asks a widget whether it takes compositions before it
// takes a key: the alarm boxes say no, the note's text says yes.
void TestEditor::shouldKeepTheInputMethodOutOfTheAlarmBoxes()
{
    WidgetFixture fixture;
    Form2 *screen = fixture.openEditScreen(3);
    const auto takesCompositions = [screen](const char *name) {
        QInputMethodQueryEvent query(Qt::ImEnabled);
        QApplication::sendEvent(child<QWidget>(screen, name), &query);
        return query.value(Qt::ImEnabled).toBool();
    };
    for (const char *name : {"Text2", "Text3", "Text4", "Text5"})
        QVERIFY2(!takesCompositions(name), name);
    QVERIFY(takesCompositions("Text1"));
}

void TestEditor::shouldTakeFullWidthDigitsAsDigits_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("arriving");
    QTest::addColumn<QString>("shown");
    QTest::newRow("typed") << "typed" << "１２" << "12";
    QTest::newRow("pasted") << "pasted" << "１２" << "12";
    QTest::newRow("committed by an input method") << "committed" << "３０" << "30";
    QTest::newRow("mixed, pasted") << "pasted" << "0９" << "09";
    QTest::newRow("kana refused") << "committed" << "じゅうに" << "";
}

// Digits that arrive full-width anyway (from the clipboard, or an input
// method that does not ask) are the digits they are; anything else stays out.
void TestEditor::shouldTakeFullWidthDigitsAsDigits()
{
    QFETCH(QString, how);
    QFETCH(QString, arriving);
    QFETCH(QString, shown);
    WidgetFixture fixture;
    Form2 *screen = fixture.openEditScreen(3);
    QLineEdit *hour = field(screen, "Text2");
    hour->clear();
    if (how == QLatin1String("typed")) {
        typeInto(hour, arriving);
    } else if (how == QLatin1String("pasted")) {
        QApplication::clipboard()->setText(arriving);
        hour->paste();
    } else {
        QInputMethodEvent commit;
        commit.setCommitString(arriving);
        QApplication::sendEvent(hour, &commit);
    }
    QCOMPARE(hour->text(), shown);
}

int main(int argc, char **argv)
{
    // Two monitors, the second offset both ways, so that a place on "the
    // monitor that holds the pointer" can be told from one on the first.
    QTemporaryFile monitors;
    if (!monitors.open())
        return 1;
    monitors.write(R"({"screens": [
        {"name": "first", "x": 0, "y": 0, "width": 800, "height": 600, "logicalDpi": 96, "logicalBaseDpi": 96},
        {"name": "second", "x": 800, "y": 120, "width": 1024, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96}
    ]})");
    monitors.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(monitors.fileName()));
    QApplication app(argc, argv);
    TestEditor test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_editor.moc"
