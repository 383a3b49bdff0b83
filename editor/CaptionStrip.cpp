// SPDX-License-Identifier: MIT
#include "editor/CaptionStrip.h"

#include "desktop/UserPlacement.h"
#include "desktop/WindowProcedures.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int TextIndentPx = 4;
}

CaptionStrip::CaptionStrip(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("caption"));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    // The clock ticks in the window title.
    connect(window(), &QWidget::windowTitleChanged, this, qOverload<>(&QWidget::update));
}

bool CaptionStrip::event(QEvent *event)
{
    // The title colours follow whether the window is the active one.
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)
        update();
    return QWidget::event(event);
}

void CaptionStrip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const bool active = isActiveWindow();
    QColor background = palette().color(QPalette::Active, QPalette::Highlight);
    const QColor text = palette().color(QPalette::Active, QPalette::HighlightedText);
    if (!active) {
        // An inactive title keeps a trace of its hue on a grey ground, as
        // desktops draw the titles of windows in the background.
        const QColor grey = palette().color(QPalette::Active, QPalette::Dark);
        background = QColor::fromRgbF((background.redF() + 2 * grey.redF()) / 3,
                                      (background.greenF() + 2 * grey.greenF()) / 3,
                                      (background.blueF() + 2 * grey.blueF()) / 3);
    }
    painter.fillRect(rect(), background);
    painter.setPen(text);
    const QRect textArea = rect().adjusted(TextIndentPx, 0, -TextIndentPx, 0);
    const QString caption = fontMetrics().elidedText(window()->windowTitle(), Qt::ElideRight, textArea.width());
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption);
}

void CaptionStrip::mousePressEvent(QMouseEvent *event)
{
    StartWindowDrag(window(), event);
}
