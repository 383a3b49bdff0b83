// SPDX-License-Identifier: MIT
#include "editor/OptionStyle.h"

#include <QApplication>

namespace {
constexpr int LabelSpacingPx = 2;
// Qt adds this much beside a caption for its focus frame, which is drawn
// around the text and needs no room of its own.
constexpr int CaptionMarginPx = 4;
}

// Built on the style the program runs with, which may not be the desktop's
// default one (-style, QT_STYLE_OVERRIDE).
OptionStyle::OptionStyle(QObject *parent) : QProxyStyle(QApplication::style()->name())
{
    setParent(parent);
}

int OptionStyle::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    if (metric == PM_RadioButtonLabelSpacing || metric == PM_CheckBoxLabelSpacing)
        return LabelSpacingPx;
    return QProxyStyle::pixelMetric(metric, option, widget);
}

QSize OptionStyle::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &contentsSize,
                                    const QWidget *widget) const
{
    QSize size = QProxyStyle::sizeFromContents(type, option, contentsSize, widget);
    if (type == CT_RadioButton || type == CT_CheckBox)
        size.rwidth() -= CaptionMarginPx;
    return size;
}
