// SPDX-License-Identifier: MIT
// The edit screen as its definition builds it: frame, caption strip,
// controls in their places, tab order.
#include "editor/Form2.h"

#include "desktop/WindowProcedures.h"
#include "editor/AlarmField.h"
#include "editor/AlarmFrame.h"
#include "editor/CaptionStrip.h"
#include "editor/OptionStyle.h"
#include "ui/Definitions.h"

#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolTip>
#include <qdrawutil.h>

#include <algorithm>
#include <vector>

namespace Def = Definitions::Form2;

namespace {

// A tool tip a control shows without owning it, kept out of what it tells a
// screen reader.
constexpr const char *BorrowedToolTip = "borrowedToolTip";

// The style keeps its pictures of a scroll bar in Qt's pixmap cache under
// the identity of the bar's palette. Inherited from the note's colour, that
// palette is a new one at every opening, and each opening left another set
// of pictures behind. A palette of the bars' own, with every colour set, is
// taken as it is: one set for the program's life.
const QPalette &scrollBarPalette()
{
    static const QPalette palette = [] {
        QPalette whole = QApplication::palette();
        for (int group = 0; group < QPalette::NColorGroups; ++group) {
            for (int role = 0; role < QPalette::NColorRoles; ++role) {
                const auto colorGroup = QPalette::ColorGroup(group);
                const auto colorRole = QPalette::ColorRole(role);
                whole.setBrush(colorGroup, colorRole, whole.brush(colorGroup, colorRole));
            }
        }
        return whole;
    }();
    return palette;
}

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
        case Def::Kind::TextBox:
            widget = new AlarmField(parent);
            break;
        case Def::Kind::MultiLineTextBox: {
            auto *text = new QPlainTextEdit(parent);
            text->setLineWrapMode(QPlainTextEdit::NoWrap);
            text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            // Tab leaves the text for ＯＫ: type, Tab, Enter makes a note.
            text->setTabChangesFocus(true);
            for (QScrollBar *bar : {text->verticalScrollBar(), text->horizontalScrollBar()})
                bar->setPalette(scrollBarPalette());
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
        if (control.toolTip && control.kind == Def::Kind::Label) {
            // The colon shows the OFF button's tip to the mouse; a screen
            // reader would take a tip as the label's own description.
            widget->setProperty(BorrowedToolTip, QString::fromUtf8(control.toolTip));
            widget->installEventFilter(this);
        } else if (control.toolTip) {
            widget->setToolTip(QString::fromUtf8(control.toolTip));
        } else if (widget != Frame1) {
            widget->installEventFilter(this);
        }
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
    // A screen reader lists a frame's controls in the order of its children:
    // from left to right, as they are seen.
    QList<QWidget *> alarmRow = Frame1->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    std::stable_sort(alarmRow.begin(), alarmRow.end(), [](QWidget *a, QWidget *b) { return a->x() < b->x(); });
    for (QWidget *control : alarmRow)
        control->raise();
    // The text box is one object with the focus: its viewport would report
    // the focus too, through the proxy that hands it on.
    Text1->viewport()->setFocusProxy(nullptr);

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
    if (event->type() == QEvent::ToolTip) {
        const QString borrowed = watched->property(BorrowedToolTip).toString();
        if (!borrowed.isEmpty())
            QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), borrowed, static_cast<QWidget *>(watched));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
