// SPDX-License-Identifier: MIT
#include "app/Form1.h"

#include "desktop/FocusMark.h"
#include "desktop/ImageControl.h"
#include "desktop/UserPlacement.h"
#include "desktop/WindowProcedures.h"
#include "desktop/X11.h"
#include "editor/Form2.h"
#include "store/Forms.h"
#include "store/Module1.h"
#include "ui/Definitions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

namespace Def = Definitions::Form1;

Form1::Form1() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
{
    NameWindow(this, QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(Def::DesignCaption));
    // The launcher, the edit screen and the message about the file are the
    // windows a task bar lists; a note shows none. An icon for the whole
    // program would be drawn into every note window too, and taken off again.
    setWindowIcon(ProgramIcon());
    setMouseTracking(true);
    // Its tool tip is its only word; it must show whichever window is active.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    // The keys work on the window itself; none of its pictures takes the
    // focus. Named its own focus, it takes the focus whenever it is activated.
    setFocusPolicy(Qt::StrongFocus);
    setFocus();
    resize(PixelsFromTwips(Def::FullWidth, TwipsPerPixelX()), PixelsFromTwips(Def::Height, TwipsPerPixelY()));

    // The client strip carries the card as its background picture; the frame
    // and title bar around it are cut away by the window's shape.
    m_client = new QLabel(this);
    m_client->setObjectName(QStringLiteral("client"));
    m_client->setPixmap(LoadPicture(Def::CardPicture));
    m_client->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_client->setGeometry(PixelsFromTwips(Def::Client).translated(Def::ClientLeftPx, Def::ClientTopPx));
    m_client->setMouseTracking(true);

    Picture1 = new ImageControl(m_client);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(PixelsFromTwips(Def::Picture1));
    Picture1->setPixmap(LoadPicture(Def::NewNotePicture));
    Picture1->setToolTip(QString::fromUtf8(Def::Picture1ToolTip));
    Picture1->setAccessibleName(QString::fromUtf8(Def::Picture1ToolTip));
    Picture1->setAccessibleDescription(QStringLiteral("新しい付箋紙の編集画面を開きます。"));
    connect(Picture1, &ImageControl::clicked, this, &Form1::Picture1_Click);

    Image1 = new ImageControl(m_client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(PixelsFromTwips(Def::Image1));
    Image1->setPixmap(LoadPicture(Def::QuitPicture));
    Image1->setAccessibleName(QStringLiteral("終了"));
    Image1->setAccessibleDescription(QStringLiteral("Nopi を終了します。付箋紙は保存済みで、次の起動で元に戻ります。"));
    Image1->hide();
    connect(Image1, &ImageControl::clicked, this, &Form1::Image1_Click);

    Image2 = new QLabel(m_client);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(PixelsFromTwips(Def::Image2));
    Image2->setPixmap(LoadPicture(Def::PlusPicture));
    // It takes no clicks; a disabled label would draw its picture grey.
    Image2->setAttribute(Qt::WA_TransparentForMouseEvents);
    Image2->hide();

    setWidthTwips(Def::FullWidth);
    new FocusMark(this, [this] { return LauncherRegion(width(), height()); });

    Timer1.setInterval(Def::Timer1Interval);
    connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Timer1.start();
    Timer2.setInterval(Def::Timer2Interval);
    connect(&Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
}

bool Form1::Form_Load()
{
    if (!m_instance.acquire()) {
        // Whoever started the program again is looking for it.
        m_instance.callRunningCopy();
        return false;
    }
    m_instance.listen({[this] { comeForward(); },
                       [this](const QString &text) { return newNoteFromElsewhere(text); }});
    RemoveStaleSaveFiles();

    CurrentSection = LauncherSection();
    LoadNoteSettings(SharedRecord);
    move(PixelsFromTwips(SharedRecord.POJIX, TwipsPerPixelX()), PixelsFromTwips(SharedRecord.POJIY, TwipsPerPixelY()));

    setWidthTwips(Def::FullWidth);
    setWindowTitle(QString::fromUtf8(Def::Caption));
    Image2->show();

    int freeSlots = NoteSlots::Count;
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot) {
        CurrentSection = NoteSection(slot);
        UseSharedRecord = 0;
        NoteSettings record;
        LoadNoteSettings(record);
        if (record.SIYOU == 1) {
            --freeSlots;
            if (Forms *forms = Forms::instance())
                forms->showNote(slot);
        }
    }
    if (freeSlots == 0)
        setWidthTwips(Def::NarrowWidth);

    // A launcher stored where no screen is any more would leave no way to
    // create a note.
    KeepOnAScreen(this, LauncherRegion(width(), height()));
    ApplyLauncherRegion(this);
    LauncherRefresh = 2;
    followRefresh();
    return true;
}

void Form1::comeForward()
{
    BringForward(this);
    // Starting the program again is the user's own request for it.
    X11::askToActivate(this);
}

void Form1::setWidthTwips(int twips)
{
    resize(PixelsFromTwips(twips, TwipsPerPixelX()), height());
    // Narrowed with every slot in use, the launcher cuts its new-note button
    // off; a screen reader must not offer it meanwhile. Its accessible name
    // is its caption.
    const bool offered = LauncherRegion(width(), height()).intersects(Picture1->geometry().translated(m_client->pos()));
    Picture1->setVisible(offered);
    Picture1->setEnabled(offered);
    setAccessibleDescription(offered ? QStringLiteral("付箋紙のランチャー。Enter キーか Space キーで新しい付箋紙を作ります。"
                                                      "Tab キーで付箋紙へ移ります。")
                                     : QStringLiteral("付箋紙のランチャー。付箋紙は 15 枚すべて使われています。"
                                                      "新しい付箋紙は、どれかを捨てると作れます。"
                                                      "Tab キーで付箋紙へ移ります。"));
}

int Form1::widthTwips() const
{
    return width() * TwipsPerPixelX();
}

Form1::NewNote Form1::newNote()
{
    if (EditScreenOpen == 1) {
        Picture1_Click();
        return NewNote::EditScreenAlreadyOpen;
    }
    if (firstFreeSlot() == 0) {
        QApplication::beep();
        return NewNote::NoFreeSlot;
    }
    Picture1_Click();
    return EditScreenOpen == 1 ? NewNote::Opened : NewNote::NoFreeSlot;
}

SingleInstance::NewNoteAnswer Form1::newNoteFromElsewhere(const QString &text)
{
    const NewNote result = newNote();
    Forms *forms = Forms::instance();
    QWidget *screen = forms ? forms->editScreen() : nullptr;
    auto *editor = qobject_cast<Form2 *>(screen);
    if (result == NewNote::Opened && editor)
        editor->putText(text);
    // The command is the user's own request, made in another program.
    if (screen && result != NewNote::NoFreeSlot) {
        BringForward(screen);
        X11::askToActivate(screen);
    }
    switch (result) {
    case NewNote::Opened:
        return SingleInstance::NewNoteAnswer::Opened;
    case NewNote::EditScreenAlreadyOpen:
        return SingleInstance::NewNoteAnswer::EditScreenOpen;
    case NewNote::NoFreeSlot:
        break;
    }
    return SingleInstance::NewNoteAnswer::NoFreeSlot;
}

int Form1::firstFreeSlot()
{
    for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot) {
        CurrentSection = NoteSection(slot);
        UseSharedRecord = 0;
        NoteSettings record;
        LoadNoteSettings(record);
        if (record.SIYOU == 0)
            return slot;
    }
    return 0;
}

void Form1::keyboardReached(QWidget *window)
{
    m_keyboardWindow = window;
}

void Form1::Picture1_Click()
{
    if (EditScreenOpen == 1) {
        // The edit screen may be minimised or behind other windows; a click
        // here that did nothing would look like a program that hangs.
        if (Forms *forms = Forms::instance(); forms && forms->editScreen())
            BringForward(forms->editScreen());
        return;
    }

    CurrentSection = LauncherSection();
    SharedRecord.POJIX = x() * TwipsPerPixelX();
    SharedRecord.POJIY = y() * TwipsPerPixelY();
    SaveNoteSettings(SharedRecord);

    const int freeSlot = firstFreeSlot();
    if (freeSlot == 0)
        return;
    EditSection = NoteSection(freeSlot);

    EditScreenOpen = 1;
    UseSharedRecord = 1;
    if (Forms *forms = Forms::instance())
        forms->openEditScreen();
}

void Form1::Image1_Click()
{
    // Everything is already in the file; nothing is written on the way out.
    QApplication::exit(0);
}

void Form1::mousePressEvent(QMouseEvent *event)
{
    Form_MouseDown(event);
}

void Form1::mouseMoveEvent(QMouseEvent *)
{
    Form_MouseMove();
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    // Moved by keys, as by a drag, the launcher's place is saved with the
    // next new note.
    if (PlaceByKey(this, event, false))
        return;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const bool press = plain
                       && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter
                           || event->key() == Qt::Key_Space);
    if (press || event->matches(QKeySequence::New)) {
        // A held key asks once.
        if (!event->isAutoRepeat())
            newNote();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool Form1::event(QEvent *event)
{
    // Tab leads from window to window, not from control to control: the
    // launcher's pictures take no focus.
    if (const int step = WindowTabStep(event)) {
        if (Forms *forms = Forms::instance())
            forms->activateNextWindow(this, step > 0);
        return true;
    }
    return QWidget::event(event);
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closed from outside (a window manager's key), the launcher ends the
    // program as its quit icon does, rather than leave notes with no launcher.
    event->accept();
    Image1_Click();
}

void Form1::Form_MouseMove()
{
    Image1->show();
    Timer1.start();
}

void Form1::Form_MouseDown(QMouseEvent *event)
{
    StartWindowDrag(this, event);
}

void Form1::Timer1_Timer()
{
    Image1->hide();
    if (EditScreenOpen == 1)
        return;
    if (LauncherRefresh == 2) {
        LauncherRefresh = 1;
    } else if (LauncherRefresh == 1) {
        LauncherRefresh = 0;
        // Only hand the focus around among our own windows, never take it
        // from another program, nor from the window the keyboard took the
        // user to (or that the user typed in) since the refresh was asked for.
        QWidget *active = QApplication::activeWindow();
        if (active && active != m_keyboardWindow)
            activateWindow();
    } else {
        // Nothing left to hide or count down: the timer sleeps until the
        // mouse or a refresh wakes it, rather than wake the program for
        // nothing every two seconds.
        Timer1.stop();
    }
}

void Form1::followRefresh()
{
    m_keyboardWindow = nullptr;
    if (!Timer1.isActive())
        Timer1.start();
    if (!Timer2.isActive())
        Timer2.start();
}

void Form1::Timer2_Timer()
{
    if (LauncherRefresh == 0) {
        Timer2.stop();
        return;
    }
    ApplyLauncherRegion(this);
}
