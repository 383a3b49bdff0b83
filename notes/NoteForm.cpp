// SPDX-License-Identifier: MIT
#include "notes/NoteForm.h"

#include "desktop/FocusMark.h"
#include "desktop/ImageControl.h"
#include "desktop/UserPlacement.h"
#include "desktop/WindowProcedures.h"
#include "notes/AlarmSound.h"
#include "notes/NoteAccessible.h"
#include "notes/NoteAlarm.h"
#include "notes/NoteText.h"
#include "store/AlarmTime.h"
#include "store/Clock.h"
#include "store/Forms.h"
#include "store/Module1.h"
#include "store/NoteLook.h"
#include "ui/Definitions.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <optional>

namespace {

// Within this distance of a corner, the frame resizes both ways.
constexpr int CornerPx = 16;
// The window is the note's label plus these margins, in pixels.
constexpr int TextMarginWidthPx = 35;
constexpr int TextMarginHeightPx = 20;
// The note's own size arithmetic uses 15 twips to the pixel whatever the screen.
constexpr int SizeTwipsPerPixel = 15;
// For this many ticks after it appears, a note whose window manager put it
// elsewhere than asked asks once more for its stored place.
constexpr int PlacementCheckTicks = 4;

// The label shows CR LF (and a lone CR) as the line break it is. The lone LF
// the edit screen's OK puts at the end of the text is no line of the note:
// the file gives the text back without it, and the note must look the same
// (and size itself the same) after a restart.
QString shownText(QString text)
{
    if (text.endsWith(QLatin1Char('\n')) && !text.endsWith(QLatin1String("\r\n")))
        text.chop(1);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// The first line of a text in either form, stored ("⇔" breaks its lines)
// or shown.
QString firstLine(const QString &text)
{
    const auto end = std::find_if(text.begin(), text.end(), [](QChar c) {
        return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0x21D4);
    });
    return text.left(end - text.begin());
}


}

NoteForm::NoteForm(int slot, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
    , m_section(NoteSection(slot))
{
    const Definitions::NoteDefinition design = Definitions::noteDefinition(slot);
    const int frame = Definitions::Note::FramePx;

    NameWindow(this, QStringLiteral("Form%1").arg(slot));
    setAttribute(Qt::WA_DeleteOnClose);
    // The close mark's tool tip shows on a resting pointer whichever window
    // is active: notes are looked at while the user works elsewhere.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setMouseTracking(true);
    // The note itself takes the keyboard; none of its parts does. Named its
    // own focus before it is ever active, it takes the focus each time it is
    // activated, whichever window had it last.
    setFocusPolicy(Qt::StrongFocus);
    setFocus();
    resize(PixelsFromTwips(design.client).size() + QSize(2 * frame, 2 * frame));

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    m_client->setGeometry(clientRect());
    m_client->setMouseTracking(true);

    Image1 = new ImageControl(m_client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(LoadPicture(Definitions::Note::ClosePicture));
    Image1->setGeometry(PixelsFromTwips(design.image1));
    if (design.image1ToolTip)
        Image1->setToolTip(QString::fromUtf8(design.image1ToolTip));
    Image1->setAccessibleName(QStringLiteral("閉じる"));
    Image1->setAccessibleDescription(QStringLiteral("この付箋紙を捨てます。元に戻せません。"));
    connect(Image1, &ImageControl::clicked, this, &NoteForm::Image1_Click);

    Label1 = new NoteText(m_client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(PixelsFromTwips(design.label1).topLeft());
    Label1->setMouseTracking(true);
    Label1->installEventFilter(this);
    // The label is disabled only so that presses reach the note; it must not
    // turn grey meanwhile.
    QPalette palette = Label1->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::WindowText, QColor::fromRgb(Definitions::Note::TextColor));
    Label1->setPalette(palette);

    m_alert = new AlarmAlert(this);
    new FocusMark(this, [this] { return NoteRegion(width(), height()); });

    KeepOutOfTaskbar(this);
    ClearCaptionAndIcon(this);
    // A drag or resize is written once it ends, where the window then is.
    WatchUserPlacement(this, [this] { Timer1.runSoon(); });

    // Alarms whose moment passed before the note existed are not caught up.
    m_previousTick = Clock::now();
    Timer1.start();
}

QRect NoteForm::clientRect() const
{
    const int frame = Definitions::Note::FramePx;
    return rect().adjusted(frame, frame, -frame, -frame);
}

void NoteForm::Form_Load()
{
    CurrentSection = m_section;
    const bool fromFile = UseSharedRecord != 1;
    std::optional<NoteSettings> wholeInFile;
    if (fromFile) {
        if (LoadNoteSettings(SharedRecord) == SectionRead::FromFile)
            wholeInFile = SharedRecord;
        SharedRecord.NAIYOU = LineBreaksFromStored(SharedRecord.NAIYOU);
    }
    NoteSettings &record = SharedRecord;
    showLook(record);

    const int tppX = TwipsPerPixelX();
    const int tppY = TwipsPerPixelY();
    move(PixelsFromTwips(record.POJIX, tppX), PixelsFromTwips(record.POJIY, tppY));
    if (UseSharedRecord != 0) {
        UseSharedRecord = 0;
        // The new note's section holds its window's own figures from the start.
        record.POJIX = x() * tppX;
        record.POJIY = y() * tppY;
        const QSize label = Label1->sizeHint();
        record.YOKO = (label.width() + TextMarginWidthPx) * SizeTwipsPerPixel;
        record.TATE = (label.height() + TextMarginHeightPx) * SizeTwipsPerPixel;
    }
    const QSize asked(qMin(PixelsFromTwips(record.YOKO, tppX), LargestWindowPx),
                      qMin(PixelsFromTwips(record.TATE, tppY), LargestWindowPx));
    resize(asked);
    // A damaged place (or a monitor that is gone) must not leave the note
    // where it can never be seen, closed or edited. The mended place and size
    // are written by the next tick, as if the user had made them.
    if (fromFile && (KeepOnAScreen(this, NoteRegion(width(), height())) || size() != asked))
        MarkUserPlacement(this);
    placeCloseMark();

    record.SIYOU = 1;
    record.NAIYOU = LineBreaksToStored(record.NAIYOU);
    describeForAccessibility(record);
    // A section the file holds whole is not written back: only the reader's
    // tidying (blanks around a value) could differ, and a note that another
    // machine sharing the file made must not answer with a write of its own.
    if (wholeInFile && *wholeInFile == record)
        m_known = record;
    else
        saveRecord(record);
    m_placementChecks = PlacementCheckTicks;
    Timer1.reschedule();
}

// Colour, font, text and alarm line, from a record whose text holds the
// line breaks the screen shows.
void NoteForm::showLook(const NoteSettings &record)
{
    m_color = ColorFromBgr(record.B_Color);
    Label1->setFont(NoteFont(record));
    const QString alarmLine = record.ALARM != 0 ? AlarmTime::alarmLine(record.A_TIME) : QString();
    Label1->setText(shownText(alarmLine + record.NAIYOU));
    setMinimumFromFont();
    update();
}

void NoteForm::describeForAccessibility(const NoteSettings &record)
{
    const QString line = firstLine(record.NAIYOU).trimmed();
    setAccessibleName(line.isEmpty() ? QStringLiteral("付箋紙") : line);
    m_spokenAlarm = record.ALARM != 0 ? shownText(AlarmTime::alarmLine(record.A_TIME)) : QString();
    QString time = m_spokenAlarm;
    time.remove(QLatin1Char('<')).remove(QLatin1Char('>'));
    m_alertName = QStringLiteral("アラーム %1 — %2").arg(time, line.isEmpty() ? QStringLiteral("付箋紙") : line);
    announceRinging(record.ALARM == 2);
}

void NoteForm::announceRinging(bool ringing)
{
    QString description = QStringLiteral("付箋紙");
    if (ringing)
        description += QStringLiteral("。アラーム %1 が鳴っています。Enter キーで止めます").arg(m_spokenAlarm);
    else if (!m_spokenAlarm.isEmpty())
        description += QStringLiteral("、アラーム ") + m_spokenAlarm + QStringLiteral("。Enter キーで編集します");
    else
        description += QStringLiteral("。Enter キーで編集します");
    setAccessibleDescription(description + QStringLiteral("。Ctrl+D キーで捨てます。Ctrl+N キーで新しい付箋紙、"
                                                          "Tab キーで次のウィンドウへ移ります。"));
    // The alert is heard wherever the user is typing; the note's own
    // description only once it has the focus.
    if (ringing)
        m_alert->ring(m_alertName, QStringLiteral("付箋紙のアラームが鳴っています。付箋紙で Enter キーを押すか、"
                                                  "ダブルクリックで止めます。"));
    else
        m_alert->stop();
}

// A note is never smaller than its close mark and one line of its text, so a
// damaged size cannot make it unreachable. Sizes the program computes from a
// text are never below this.
void NoteForm::setMinimumFromFont()
{
    const int lineHeight = QFontMetrics(Label1->font()).height();
    setMinimumSize(TextMarginWidthPx, qMin(lineHeight + TextMarginHeightPx, LargestWindowPx));
}

void NoteForm::placeCloseMark()
{
    // From the window's own size: before the first show the client widget
    // has not been laid out yet.
    Image1->move(clientRect().width() - 16, -16);
}

void NoteForm::resizeEvent(QResizeEvent *)
{
    m_client->setGeometry(clientRect());
    // Whoever sized the window, the mark stays in its top-right corner.
    placeCloseMark();
}

void NoteForm::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // What shows of the sizing frame reads as an edge one pixel wide on the
    // left and top, two on the right and bottom, like a card's shadow.
    painter.fillRect(rect(), m_color.darker(160));
    painter.fillRect(clientRect(), m_color);
}

Qt::Edges NoteForm::frameEdgesAt(QPoint pos) const
{
    const QRect client = clientRect();
    if (client.contains(pos) || !rect().contains(pos))
        return {};
    Qt::Edges edges;
    if (pos.x() < client.left())
        edges |= Qt::LeftEdge;
    if (pos.x() > client.right())
        edges |= Qt::RightEdge;
    if (pos.y() < client.top())
        edges |= Qt::TopEdge;
    if (pos.y() > client.bottom())
        edges |= Qt::BottomEdge;
    // Near a corner the frame resizes both ways, as sizing frames do.
    if (edges & (Qt::LeftEdge | Qt::RightEdge)) {
        if (pos.y() < client.top() + CornerPx)
            edges |= Qt::TopEdge;
        else if (pos.y() > client.bottom() - CornerPx)
            edges |= Qt::BottomEdge;
    }
    if (edges & (Qt::TopEdge | Qt::BottomEdge)) {
        if (pos.x() < client.left() + CornerPx)
            edges |= Qt::LeftEdge;
        else if (pos.x() > client.right() - CornerPx)
            edges |= Qt::RightEdge;
    }
    return edges;
}

void NoteForm::mousePressEvent(QMouseEvent *event)
{
    const Qt::Edges edges = frameEdgesAt(event->position().toPoint());
    if (edges)
        StartWindowResize(this, event, edges);
    else
        Form_MouseDown(event);
}

void NoteForm::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (frameEdgesAt(event->position().toPoint()))
        return;
    if (event->button() == Qt::LeftButton)
        Form_DblClick();
}

void NoteForm::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() != Qt::NoButton)
        return;
    const Qt::Edges edges = frameEdgesAt(event->position().toPoint());
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        setCursor(Qt::SizeFDiagCursor);
    else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        setCursor(Qt::SizeBDiagCursor);
    else if (edges & (Qt::LeftEdge | Qt::RightEdge))
        setCursor(Qt::SizeHorCursor);
    else if (edges)
        setCursor(Qt::SizeVerCursor);
    else
        unsetCursor();
}

void NoteForm::keyPressEvent(QKeyEvent *event)
{
    Forms *forms = Forms::instance();
    if (forms)
        forms->keyboardUsedIn(this);
    // Moved or resized by keys, the note is written once the keys rest, as
    // after a drag.
    if (PlaceByKey(this, event, true))
        return;
    // Enter is the keyboard's double-click: it opens the edit screen, or
    // stops a ringing alarm. Ctrl+D is a click on the close mark; no other
    // key throws a note away. A held key acts once: Enter stops a ringing
    // alarm without going on to open the edit screen.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!event->isAutoRepeat())
            Form_DblClick();
        return;
    }
    if (event->key() == Qt::Key_D && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
        if (!event->isAutoRepeat())
            Image1_Click();
        return;
    }
    if (event->matches(QKeySequence::New)) {
        if (!event->isAutoRepeat() && forms)
            forms->startNewNote();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool NoteForm::event(QEvent *event)
{
    // Tab leads from window to window: a note has no controls to visit.
    if (const int step = WindowTabStep(event)) {
        if (Forms *forms = Forms::instance())
            forms->activateNextWindow(this, step > 0);
        return true;
    }
    return QWidget::event(event);
}

void NoteForm::closeEvent(QCloseEvent *event)
{
    // Only the close mark throws a note away. A window manager's close
    // request (Alt+F4, a pager, a task list) would otherwise take the note and
    // its alarm off the desktop for the rest of the run, its slot still taken.
    if (m_closing)
        event->accept();
    else
        event->ignore();
}

bool NoteForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label1 && event->type() == QEvent::MouseMove)
        Label1_MouseMove();
    return QWidget::eventFilter(watched, event);
}

void NoteForm::Form_MouseDown(QMouseEvent *event)
{
    StartWindowDrag(this, event);
}

void NoteForm::Label1_MouseMove()
{
    // Disabled, the label passes presses and double-clicks to the note, so the
    // note can be dragged and edited anywhere on its surface.
    Label1->setEnabled(false);
    m_labelDisabled = true;
    Timer1.reschedule();
}

void NoteForm::Form_DblClick()
{
    CurrentSection = m_section;
    NoteSettings record;
    // What the acknowledgement writes is what the window must show.
    if (LoadNoteSettings(record) == SectionRead::FromFile && record != m_known && record.SIYOU == 1)
        takeRecordFromElsewhere(record);
    if (record.ALARM > 1) {
        AlarmSound::stop();
        record.ALARM = 1;
        // Stopped here: a machine whose clock has not yet reached the minute
        // does not ring it.
        CurrentSection = m_section;
        saveRecord(record, Sync::AlarmCrossing{LastAlarmCrossing().minute, true});
        Label1->setVisible(true);
        SetTopmost(this, 0);
        announceRinging(false);
        return;
    }
    if (EditScreenOpen == 1) {
        if (Forms *forms = Forms::instance(); forms && forms->editScreen())
            BringForward(forms->editScreen());
        return;
    }
    EditScreenOpen = 1;
    EditSection = CurrentSection;
    UseSharedRecord = 1;
    if (Forms *forms = Forms::instance())
        forms->openEditScreen();
    // OK puts the note back where it is now, wherever it is dragged meanwhile.
    SharedRecord.POJIY = y() * TwipsPerPixelY();
    SharedRecord.POJIX = x() * TwipsPerPixelX();
}

void NoteForm::Image1_Click()
{
    // The section keeps the note's own keys with SIYOU 0: writing whichever
    // record was loaded last would put another note's text in its place and
    // lose this one for good.
    CurrentSection = m_section;
    NoteSettings record;
    LoadNoteSettings(record);
    record.SIYOU = 0;
    SharedRecord.SIYOU = 0;
    CurrentSection = m_section;
    SaveNoteSettings(record);
    closeWindow();
}

// The slot is free again: the launcher gets its full width and its button.
void NoteForm::closeWindow()
{
    Timer1.stop();
    m_closing = true;
    close();
    if (Forms *forms = Forms::instance())
        forms->setLauncherWidthTwips(Definitions::Form1::FullWidth);
    Forms::startLauncherRefresh();
}
