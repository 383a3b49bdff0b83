// SPDX-License-Identifier: MIT
#include "editor/Form2.h"

#include "desktop/ImageControl.h"
#include "desktop/WindowProcedures.h"
#include "editor/AlarmFrame.h"
#include "editor/CaptionStrip.h"
#include "editor/FontDialog.h"
#include "editor/OptionStyle.h"
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
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <qdrawutil.h>

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
    // Full-width digits typed with the input method count as digits.
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
    setWindowIcon(ProgramIcon());
    QFont font(QString::fromUtf8(Def::FontName));
    font.setPointSizeF(Def::FontSize);
    setFont(font);

    buildFrameAndCaption();
    buildControls();
    setTabOrder();
    centreOnPointerScreen();

    m_fontDialogFont = QFont(QString::fromUtf8(Def::FontDialogInitialFace), Def::FontDialogInitialSize);

    Timer1.setInterval(Def::Timer1Interval);
    connect(&Timer1, &QTimer::timeout, this, &Form2::Timer1_Timer);
    Timer1.start();
}

QString Form2::designCaption()
{
    return QStringLiteral("■ 編集画面 　( ") + QString::fromUtf8(Def::WebAddress) + QStringLiteral(" )");
}

// The window is its outer frame: border, caption strip, then the client area
// of the defined size, where the controls keep their defined places.
void Form2::buildFrameAndCaption()
{
    const QSize client = PixelsFromTwips(Def::Client).size();
    setFixedSize(client.width() + 2 * Def::FramePx, client.height() + 2 * Def::FramePx + Def::CaptionPx);
    m_caption = new CaptionStrip(this);
    m_caption->setGeometry(Def::FramePx, Def::FramePx, client.width(), Def::CaptionPx);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    m_client->setGeometry(QRect(QPoint(Def::FramePx, Def::FramePx + Def::CaptionPx), client));
}

void Form2::centreOnPointerScreen()
{
    const QRect screen = pointerScreenGeometry();
    move(screen.x() + (screen.width() - width()) / 2, screen.y() + (screen.height() - height()) / 2);
}

void Form2::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // A raised window frame two pixels deep; the third pixel is the face.
    qDrawWinPanel(&painter, rect(), palette(), false);
}

void Form2::buildControls()
{
    Frame1 = new AlarmFrame(m_client);
    auto *optionStyle = new OptionStyle(this);
    for (const Def::Control &control : Def::Controls) {
        QWidget *parent = control.inFrame ? static_cast<QWidget *>(Frame1) : m_client;
        const QString name = QString::fromUtf8(control.name);
        const QString caption = QString::fromUtf8(control.caption);
        QWidget *widget = nullptr;
        switch (control.kind) {
        case Def::Kind::Frame:
            Frame1->setTitle(caption);
            widget = Frame1;
            break;
        case Def::Kind::TextBox: {
            auto *field = new QLineEdit(parent);
            field->setAlignment(Qt::AlignCenter);
            field->setMaxLength(8);
            field->setInputMethodHints(Qt::ImhPreferNumbers);
            widget = field;
            break;
        }
        case Def::Kind::MultiLineTextBox: {
            auto *text = new QPlainTextEdit(parent);
            text->setLineWrapMode(QPlainTextEdit::NoWrap);
            text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            // Tab leaves the text for ＯＫ: type, Tab, Enter makes a note.
            text->setTabChangesFocus(true);
            widget = text;
            break;
        }
        case Def::Kind::Button: {
            auto *button = new QPushButton(caption, parent);
            button->setAutoDefault(true);
            widget = button;
            break;
        }
        case Def::Kind::CheckBox:
            widget = new QCheckBox(caption, parent);
            widget->setStyle(optionStyle);
            break;
        case Def::Kind::OptionButton:
            widget = new QRadioButton(caption, parent);
            widget->setStyle(optionStyle);
            break;
        case Def::Kind::Label:
            widget = new QLabel(caption, parent);
            break;
        }
        widget->setObjectName(name);
        widget->setGeometry(PixelsFromTwips(control.rect));
        if (control.toolTip)
            widget->setToolTip(QString::fromUtf8(control.toolTip));
        else if (widget != Frame1)
            widget->installEventFilter(this);
        if (control.accessibleName)
            widget->setAccessibleName(QString::fromUtf8(control.accessibleName));
        if (control.accessibleDescription)
            widget->setAccessibleDescription(QString::fromUtf8(control.accessibleDescription));
    }

    Text1 = findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
    Text2 = findChild<QLineEdit *>(QStringLiteral("Text2"));
    Text3 = findChild<QLineEdit *>(QStringLiteral("Text3"));
    Text4 = findChild<QLineEdit *>(QStringLiteral("Text4"));
    Text5 = findChild<QLineEdit *>(QStringLiteral("Text5"));
    Option1 = {findChild<QRadioButton *>(QStringLiteral("Option1_0")),
               findChild<QRadioButton *>(QStringLiteral("Option1_1"))};
    Check1 = findChild<QCheckBox *>(QStringLiteral("Check1"));
    Label1 = findChild<QLabel *>(QStringLiteral("Label1"));
    Label2 = findChild<QLabel *>(QStringLiteral("Label2"));
    Command1 = findChild<QPushButton *>(QStringLiteral("Command1"));
    Command2 = findChild<QPushButton *>(QStringLiteral("Command2"));
    Command3 = findChild<QPushButton *>(QStringLiteral("Command3"));
    Command4 = findChild<QPushButton *>(QStringLiteral("Command4"));

    QFont okFont(QString::fromUtf8(Def::Command1FontName));
    okFont.setPointSizeF(Def::Command1FontSize);
    okFont.setBold(true);
    Command1->setFont(okFont);
    Label1->setAlignment(Qt::AlignCenter);
    Label2->setAlignment(Qt::AlignCenter);
    Check1->hide();
    setText1Color(LightYellow);

    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form2::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form2::Command4_Click);
    for (int index = 0; index < 2; ++index) {
        connect(Option1[index], &QRadioButton::toggled, this, [this, index](bool on) {
            keepOneTabStopInAlarmSwitch();
            if (on)
                Option1_Click(index);
        });
    }
    connect(Check1, &QCheckBox::toggled, this, &Form2::Check1_Click);
}

void Form2::setTabOrder()
{
    std::vector<std::pair<int, QWidget *>> order;
    for (const Def::Control &control : Def::Controls) {
        auto *widget = findChild<QWidget *>(QString::fromUtf8(control.name));
        if (widget && widget->focusPolicy() != Qt::NoFocus)
            order.emplace_back(control.tabIndex, widget);
    }
    std::sort(order.begin(), order.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1].second, order[i].second);
}

// Tab reaches the switch once, on the option that is on, so that a Space
// there cannot turn the alarm off by surprise; the arrow keys still move
// between the two.
void Form2::keepOneTabStopInAlarmSwitch()
{
    for (QRadioButton *option : Option1)
        option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    // A control without a tool tip of its own would show its frame's.
    if (event->type() == QEvent::ToolTip)
        return true;
    return QWidget::eventFilter(watched, event);
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
    QString shown = record.NAIYOU;
    Text1->setPlainText(shown.replace(QLatin1String("\r\n"), QLatin1String("\n")));
    Text1->setFont(NoteFont(record));

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

    for (QLineEdit *field : {Text2, Text3, Text4, Text5})
        field->selectAll();
    Text1->setFocus();
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

bool Form2::refuse(const char *message)
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
    return false;
}

void Form2::Command1_Click()
{
    QString text = Text1->toPlainText();
    // The file holds CP932 only; a character it cannot hold would come back
    // as "?", so the user is asked to change it instead.
    if (!Cp932::canEncode(text) || !Cp932::canEncode(SharedRecord.FName)) {
        refuse(Def::UnsavableMessage);
        return;
    }
    SharedRecord.NAIYOU = text.replace(QLatin1Char('\n'), QLatin1String("\r\n")) + QLatin1Char('\n');

    if (SharedRecord.ALARM == 1) {
        const std::optional<int> hour = WholeNumber(Text2->text());
        const std::optional<int> minute = WholeNumber(Text3->text());
        if (!hour || !minute || *hour < 0 || *hour > 23 || *minute < 0 || *minute > 59) {
            refuse(Def::TimeMessage);
            return;
        }
        SharedRecord.A_TIME = AlarmTime::pack(*hour, *minute);
        if (Check1->isChecked()) {
            const std::optional<int> month = WholeNumber(Text4->text());
            const std::optional<int> day = WholeNumber(Text5->text());
            // Checked against this year: 29 February passes only in a leap year.
            if (!month || !day || !QDate::isValid(Clock::now().date().year(), *month, *day)) {
                refuse(Def::DateMessage);
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
