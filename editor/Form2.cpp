// SPDX-License-Identifier: MIT
#include "editor/Form2.h"

#include "desktop/WindowProcedures.h"
#include "editor/FontDialog.h"
#include "store/AlarmTime.h"
#include "store/Clock.h"
#include "store/Cp932.h"
#include "store/Forms.h"
#include "store/Module1.h"
#include "store/NoteLook.h"
#include "ui/Definitions.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>

#include <cmath>

namespace Def = Definitions::Form2;

namespace {

constexpr qint32 LightYellow = 8454143;
constexpr qint32 NoteColors[] = {LightYellow, 12632319, 12648384, 16777088};

QString timeOfDay(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

// The monitor the user is working on: the one that holds the pointer.
QRect pointerScreenGeometry()
{
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 800, 600);
}

}

std::optional<int> WholeNumber(const QString &text)
{
    // Full-width digits count as the digits they are.
    const QString value = text.normalized(QString::NormalizationForm_KC).trimmed();
    if (value.isEmpty())
        return 0;
    static const QRegularExpression whole(QStringLiteral("^[+-]?[0-9]{1,9}$"));
    if (!whole.match(value).hasMatch())
        return std::nullopt;
    return value.toInt();
}

Form2::Form2() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
{
    NameWindow(this, QStringLiteral("Form2"));
    setWindowTitle(designCaption());
    // The caption carries a clock; what a screen reader says stays put.
    setAccessibleName(QString::fromUtf8(Def::AccessibleName));
    // No icon of its own: the program's, which the application carries, is
    // the one the window system caches. A fresh copy at every opening would
    // leave its pictures in Qt's pixmap cache, up to the cache's 10 MB.
    QFont font(QString::fromUtf8(Def::FontName));
    font.setPointSizeF(Def::FontSize);
    setFont(font);

    buildFrameAndCaption();
    buildControls();
    setText1Color(LightYellow);
    setTabOrder();
    centreOnPointerScreen();

    m_fontDialogFont = QFont(QString::fromUtf8(Def::FontDialogInitialFace), Def::FontDialogInitialSize);

    Timer1.setInterval(Def::Timer1Interval);
    connect(&Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
    Timer1.start();
}

void Form2::centreOnPointerScreen()
{
    const QRect screen = pointerScreenGeometry();
    move(screen.x() + (screen.width() - width()) / 2, screen.y() + (screen.height() - height()) / 2);
}

QString Form2::designCaption()
{
    return QStringLiteral("■ 編集画面 　( ") + QString::fromUtf8(Def::WebAddress) + QStringLiteral(" )");
}

void Form2::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel)) {
        reject();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form2::closeEvent(QCloseEvent *event)
{
    // A window manager's close request is Cancel.
    if (isVisible())
        Command2_Click();
    event->accept();
}

void Form2::setText1Color(qint32 bgr)
{
    m_text1Color = bgr;
    QPalette palette = Text1->palette();
    palette.setColor(QPalette::Base, ColorFromBgr(bgr));
    palette.setColor(QPalette::Text, Qt::black);
    Text1->setPalette(palette);
}

void Form2::Form_Load()
{
    CurrentSection = EditSection;
    LoadNoteSettings(SharedRecord);
    // ＯＫ saves; the file's merge is made ready meanwhile, off this thread.
    ExpectSave();
    NoteSettings &record = SharedRecord;
    record.NAIYOU = LineBreaksFromStored(record.NAIYOU);

    m_newNote = record.SIYOU == 0;
    if (m_newNote) {
        // Near the middle of the monitor the user is working on.
        const QRect screen = pointerScreenGeometry();
        record.B_Color = LightYellow;
        record.ALARM = 0;
        record.A_TIME = 0;
        record.NAIYOU = QStringLiteral(" ");
        record.FName = QStringLiteral("ＭＳ Ｐゴシック");
        record.FSize = 10;
        record.FBold = TruthText(false);
        record.FItalic = TruthText(false);
        record.POJIY = screen.y() * TwipsPerPixelY() + screen.height() * TwipsPerPixelY() / 2 - 310;
        record.POJIX = screen.x() * TwipsPerPixelX() + screen.width() * TwipsPerPixelX() / 2 - 2540;
    }
    record.SIYOU = 1;

    setText1Color(record.B_Color);
    // The font first: the text box lays its text out in it once.
    Text1->setFont(NoteFont(record));
    QString shown = record.NAIYOU;
    Text1->setPlainText(shown.replace(QLatin1String("\r\n"), QLatin1String("\n")));

    const QDateTime now = Clock::now();
    const QString month = AlarmTime::twoDigits(now.date().month());
    const QString day = AlarmTime::twoDigits(now.date().day());
    if (record.ALARM == 0) {
        // The nearest coming full hour, ready for the first switch to ON.
        int hour = now.time().hour() + 1;
        if (hour > 23)
            hour = 0;
        Text2->setText(AlarmTime::twoDigits(hour));
        Text3->setText(QStringLiteral("00"));
        Text4->setText(month);
        Text5->setText(day);
    } else {
        Text2->setText(AlarmTime::twoDigits(AlarmTime::hour(record.A_TIME)));
        Text3->setText(AlarmTime::twoDigits(AlarmTime::minute(record.A_TIME)));
        if (AlarmTime::isDated(record.A_TIME)) {
            Text4->setText(AlarmTime::twoDigits(AlarmTime::month(record.A_TIME)));
            Text5->setText(AlarmTime::twoDigits(AlarmTime::day(record.A_TIME)));
        } else {
            Text4->setText(month);
            Text5->setText(day);
        }
    }

    if (record.ALARM != 0)
        record.ALARM = 1;
    setAlarmFieldsVisible(record.ALARM != 0);
    Option1[record.ALARM]->setChecked(true);
    if (record.ALARM != 0 && AlarmTime::isDated(record.A_TIME))
        Check1->setChecked(true);

    // Typing into an alarm field replaces its value: the field selects its
    // text when Tab reaches it, and drops the selection when the focus
    // leaves, so only the field with the focus shows one.
    Text1->setFocus();
}

void Form2::putText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Typing makes no control characters; a terminal's output may hold some,
    // and a NUL would end the note's text in the file.
    text.removeIf([](QChar c) {
        return (c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\t')) || c.unicode() == 0x7F;
    });
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.isEmpty())
        return;
    Text1->setPlainText(text);
    Text1->moveCursor(QTextCursor::End);
}

void Form2::setAlarmFieldsVisible(bool alarmOn)
{
    for (QWidget *field : std::initializer_list<QWidget *>{Text2, Label1, Text3, Check1})
        field->setVisible(alarmOn);
    const bool dated = alarmOn && Check1->isChecked();
    for (QWidget *field : std::initializer_list<QWidget *>{Text4, Label2, Text5})
        field->setVisible(dated);
}

void Form2::Option1_Click(int index)
{
    SharedRecord.ALARM = index;
    if (SharedRecord.ALARM != 0)
        SharedRecord.ALARM = 1;
    setAlarmFieldsVisible(SharedRecord.ALARM != 0);
}

void Form2::Check1_Click()
{
    const bool dated = Check1->isChecked();
    for (QWidget *field : std::initializer_list<QWidget *>{Text4, Label2, Text5})
        field->setVisible(dated);
}

void Form2::Timer1_Timer()
{
    setWindowTitle(QStringLiteral("■ 編集画面  < ") + timeOfDay(Clock::now().time()) + QStringLiteral(" >  ")
                   + QString::fromUtf8(Def::WebAddress));
}

bool Form2::refuse(const char *message, QWidget *wrong)
{
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(Def::ErrorTitle), QString::fromUtf8(message),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("ErrorMessage"));
    // Modal over this screen only: minimised with it by a window manager, it
    // must not leave the launcher and the notes deaf to the clicks that bring
    // the screen back, nor a ringing note to its double-click.
    box.setWindowModality(Qt::WindowModal);
    // Some desktop themes put stock icons on dialog buttons; this one has none.
    for (QAbstractButton *button : box.buttons())
        button->setIcon(QIcon());
    box.exec();
    if (wrong) {
        wrong->setFocus(Qt::OtherFocusReason);
        if (auto *field = qobject_cast<QLineEdit *>(wrong))
            field->selectAll();
        else if (wrong == Text1)
            selectFirstUnsavable();
    }
    return false;
}

void Form2::selectFirstUnsavable()
{
    const QString text = Text1->toPlainText();
    for (qsizetype at = 0; at < text.size(); ++at) {
        const qsizetype length = text.at(at).isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
        if (!Cp932::canEncode(text.mid(at, length))) {
            QTextCursor cursor = Text1->textCursor();
            cursor.setPosition(int(at));
            cursor.setPosition(int(at + length), QTextCursor::KeepAnchor);
            Text1->setTextCursor(cursor);
            return;
        }
        at += length - 1;
    }
}

void Form2::Command1_Click()
{
    QString text = Text1->toPlainText();
    // The file holds CP932 only; a character it cannot hold would come back
    // as "?", so the user is asked to change it instead.
    if (!Cp932::canEncode(text) || !Cp932::canEncode(SharedRecord.FName)) {
        refuse(Def::UnsavableMessage, Cp932::canEncode(text) ? static_cast<QWidget *>(Command4) : Text1);
        return;
    }
    SharedRecord.NAIYOU = text.replace(QLatin1Char('\n'), QLatin1String("\r\n")) + QLatin1Char('\n');

    if (SharedRecord.ALARM == 1) {
        const std::optional<int> hour = WholeNumber(Text2->text());
        const std::optional<int> minute = WholeNumber(Text3->text());
        const bool hourRight = hour && *hour >= 0 && *hour <= 23;
        if (!hourRight || !minute || *minute < 0 || *minute > 59) {
            refuse(Def::TimeMessage, hourRight ? Text3 : Text2);
            return;
        }
        SharedRecord.A_TIME = AlarmTime::pack(*hour, *minute);
        if (Check1->isChecked()) {
            const std::optional<int> month = WholeNumber(Text4->text());
            const std::optional<int> day = WholeNumber(Text5->text());
            // Checked against this year: 29 February passes only in a leap year.
            if (!month || !day || !QDate::isValid(Clock::now().date().year(), *month, *day)) {
                refuse(Def::DateMessage, month && *month >= 1 && *month <= 12 ? Text5 : Text4);
                return;
            }
            SharedRecord.A_TIME = AlarmTime::pack(*month, *day, *hour, *minute);
        }
    } else {
        SharedRecord.A_TIME = 0;
    }

    Forms *forms = Forms::instance();
    if (m_newNote && forms && forms->note(SlotOfSection(EditSection)))
        takeAnotherFreeSlot();
    saveBeforeTheNoteIsShown();
    CurrentSection = EditSection;
    if (forms)
        forms->reloadNote(SlotOfSection(EditSection));

    if (forms && forms->launcher()) {
        forms->setLauncherWidthTwips(Definitions::Form1::FullWidth);
        if (countFreeSlots() == 0)
            forms->setLauncherWidthTwips(Definitions::Form1::NarrowWidthAfterEdit);
        ApplyLauncherRegion(forms->launcher());
    }
    closeScreen();
}

// The note goes to the disk before its window is built anew: the window
// lays out its text to fit its size to it, which takes a while for a long
// text, and the disk need not wait for that. The record is handed over as
// the window's opening will write it, but for the size, which the opening
// then writes when it changed.
void Form2::saveBeforeTheNoteIsShown() const
{
    NoteSettings record = SharedRecord;
    record.SIYOU = 1;
    record.NAIYOU = LineBreaksToStored(record.NAIYOU);
    // The window stands on whole pixels.
    record.POJIX = PixelsFromTwips(record.POJIX, TwipsPerPixelX()) * TwipsPerPixelX();
    record.POJIY = PixelsFromTwips(record.POJIY, TwipsPerPixelY()) * TwipsPerPixelY();
    CurrentSection = EditSection;
    SaveNoteSettings(record);
}

// Another machine sharing the file put a note in this slot while the new
// one was being written: the new note takes the next free slot rather than
// replace it. With none free, the last writer wins, as for one note edited
// in two places.
void Form2::takeAnotherFreeSlot()
{
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot) {
        CurrentSection = NoteSection(slot);
        NoteSettings record;
        LoadNoteSettings(record);
        if (record.SIYOU == 0 && !Forms::instance()->note(slot)) {
            EditSection = CurrentSection;
            return;
        }
    }
}

int Form2::countFreeSlots() const
{
    int freeSlots = NoteSlots::Count;
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot) {
        CurrentSection = NoteSection(slot);
        UseSharedRecord = 0;
        NoteSettings record;
        LoadNoteSettings(record);
        if (record.SIYOU == 1)
            --freeSlots;
    }
    return freeSlots;
}

void Form2::Command2_Click()
{
    closeScreen();
}

void Form2::reject()
{
    Command2_Click();
}

void Form2::closeScreen()
{
    Timer1.stop();
    hide();
    deleteLater();
    EditScreenOpen = 0;
    Forms::startLauncherRefresh();
}

void Form2::Command3_Click()
{
    const auto current = std::find(std::begin(NoteColors), std::end(NoteColors), m_text1Color);
    qint32 next = LightYellow;
    if (current != std::end(NoteColors))
        next = std::next(current) == std::end(NoteColors) ? NoteColors[0] : *std::next(current);
    setText1Color(next);
    SharedRecord.B_Color = m_text1Color;
}

void Form2::Command4_Click()
{
    FontDialog dialog(m_fontDialogFont, this);
    dialog.setWindowTitle(QString::fromUtf8(Def::FontDialogTitle));
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QFont chosen = dialog.currentFont();
    m_fontDialogFont = chosen;
    Text1->setFont(chosen);
    SharedRecord.FName = chosen.family();
    SharedRecord.FSize = int(std::nearbyint(chosen.pointSizeF()));
    SharedRecord.FBold = TruthText(chosen.bold());
    SharedRecord.FItalic = TruthText(chosen.italic());
}
