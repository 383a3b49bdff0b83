// SPDX-License-Identifier: MIT
#include "editor/AlarmFrame.h"

#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

namespace {
constexpr int TitleLeftPx = 6;
constexpr int TitleGapPx = 2;
}

AlarmFrame::AlarmFrame(QWidget *parent) : QGroupBox(parent)
{
}

QRect AlarmFrame::lineRect() const
{
    return rect().adjusted(0, fontMetrics().height() / 2, 0, 0);
}

QRect AlarmFrame::titleRect() const
{
    return QRect(TitleLeftPx, 0, fontMetrics().horizontalAdvance(title()) + TitleGapPx, fontMetrics().height());
}

void AlarmFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    // An etched line: one pixel of shadow with one of light beside it.
    qDrawShadeRect(&painter, lineRect(), palette(), true, 1, 0);
    if (title().isEmpty())
        return;
    const QRect title = titleRect();
    painter.fillRect(title, palette().brush(backgroundRole()));
    style()->drawItemText(&painter, title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, palette(),
                          isEnabled(), this->title(), foregroundRole());
}
