#include "notes/NoteForm.h"

#include "notes/AlarmSound.h"
#include "notes/NoteAlarm.h"
#include "store/AlarmTime.h"
#include "store/Clock.h"
#include "store/Forms.h"
#include "store/ImageControl.h"
#include "store/Module1.h"
#include "store/NoteLook.h"
#include "store/WindowProcedures.h"
#include "ui/Definitions.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace {

// X11 cannot make a window larger than this.
constexpr int LargestWindowPx = 32767;
// Within this distance of a corner, the frame resizes both ways.
constexpr int CornerPx = 16;
// The window is the note's label plus these margins, in pixels.
constexpr int TextMarginWidthPx = 35;
constexpr int TextMarginHeightPx = 20;
// The note's own size arithmetic uses 15 twips to the pixel whatever the screen.
constexpr int SizeTwipsPerPixel = 15;

// The label shows CR LF (and a lone CR) as the line break it is.
QString shownText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
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
    setMouseTracking(true);
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
    connect(Image1, &ImageControl::clicked, this, &NoteForm::Image1_Click);

    Label1 = new QLabel(m_client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(false);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->move(PixelsFromTwips(design.label1).topLeft());
    Label1->setMouseTracking(true);
    Label1->installEventFilter(this);
    // The label is disabled only so that presses reach the note; it must not
    // turn grey meanwhile.
    QPalette palette = Label1->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::WindowText, QColor::fromRgb(Definitions::Note::TextColor));
    Label1->setPalette(palette);

    KeepOutOfTaskbar(this);

    Timer1.setInterval(Definitions::Note::Timer1Interval);
    connect(&Timer1, &QTimer::timeout, this, &NoteForm::Timer1_Timer);
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
    if (fromFile) {
        LoadNoteSettings(SharedRecord);
        SharedRecord.NAIYOU = LineBreaksFromStored(SharedRecord.NAIYOU);
    }
    NoteSettings &record = SharedRecord;

    m_color = ColorFromBgr(record.B_Color);
    Label1->setFont(NoteFont(record));
    const QString alarmLine = record.ALARM != 0 ? AlarmTime::alarmLine(record.A_TIME) : QString();
    Label1->setText(shownText(alarmLine + record.NAIYOU));
    Label1->adjustSize();

    const int tppX = TwipsPerPixelX();
    const int tppY = TwipsPerPixelY();
    move(PixelsFromTwips(record.POJIX, tppX), PixelsFromTwips(record.POJIY, tppY));
    if (UseSharedRecord != 0) {
        UseSharedRecord = 0;
        record.YOKO = (Label1->width() + TextMarginWidthPx) * SizeTwipsPerPixel;
        record.TATE = (Label1->height() + TextMarginHeightPx) * SizeTwipsPerPixel;
    }
    setMinimumFromFont();
    resize(qMin(PixelsFromTwips(record.YOKO, tppX), LargestWindowPx),
           qMin(PixelsFromTwips(record.TATE, tppY), LargestWindowPx));
    // A damaged place (or a monitor that is gone) must not leave the note
    // where it can never be seen, closed or edited.
    if (fromFile)
        KeepOnAScreen(this, NoteRegion(width(), height()));
    placeCloseMark();

    record.SIYOU = 1;
    record.NAIYOU = LineBreaksToStored(record.NAIYOU);
    SaveNoteSettings(record);
    update();
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
}

void NoteForm::Form_DblClick()
{
    CurrentSection = m_section;
    NoteSettings record;
    LoadNoteSettings(record);
    if (record.ALARM > 1) {
        AlarmSound::stop();
        record.ALARM = 1;
        CurrentSection = m_section;
        SaveNoteSettings(record);
        Label1->setVisible(true);
        SetTopmost(this, 0);
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
    Timer1.stop();
    close();
    if (Forms *forms = Forms::instance())
        forms->setLauncherWidthTwips(Definitions::Form1::FullWidth);
    Forms::startLauncherRefresh();
}

void NoteForm::Timer1_Timer()
{
    // Every tick reads the section afresh: the tick and the double-click meet
    // only in the file.
    CurrentSection = m_section;
    NoteSettings record;
    LoadNoteSettings(record);

    switch (NoteAlarm::step(record, Clock::now())) {
    case NoteAlarm::Step::Fire:
        fireAlarm(record);
        break;
    case NoteAlarm::Step::Blink:
        blink();
        break;
    case NoteAlarm::Step::Nothing:
        break;
    }
    syncPlaceAndSize(record);
    reenableLabel();
    reapplyRegionWhileRefreshing();
}

void NoteForm::fireAlarm(NoteSettings &record)
{
    record.ALARM = 2;
    CurrentSection = m_section;
    SaveNoteSettings(record);
    SetTopmost(this, 1);
    AlarmSound::play(AlarmSound::soundFile());
}

void NoteForm::blink()
{
    Label1->setHidden(!Label1->isHidden());
}

void NoteForm::syncPlaceAndSize(NoteSettings &record)
{
    const int tppX = TwipsPerPixelX();
    const int tppY = TwipsPerPixelY();
    const int left = x() * tppX;
    const int top = y() * tppY;
    const int widthTwips = width() * tppX;
    const int heightTwips = height() * tppY;
    if (left == record.POJIX && top == record.POJIY && widthTwips == record.YOKO && heightTwips == record.TATE)
        return;
    record.POJIX = left;
    record.POJIY = top;
    record.YOKO = widthTwips;
    record.TATE = heightTwips;
    CurrentSection = m_section;
    SaveNoteSettings(record);
    placeCloseMark();
    Forms::startLauncherRefresh();
}

void NoteForm::reenableLabel()
{
    if (!Label1->isEnabled())
        Label1->setEnabled(true);
}

void NoteForm::reapplyRegionWhileRefreshing()
{
    if (LauncherRefresh != 0)
        ApplyNoteRegion(this);
}
