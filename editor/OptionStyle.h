// SPDX-License-Identifier: MIT
#pragma once

#include <QProxyStyle>

// The style of the edit screen's OFF, ON and Date: the desktop's own, with the
// caption closer to its indicator and no spare room after it, so that the
// captions fit the narrow widths those controls are defined with.
class OptionStyle : public QProxyStyle
{
    Q_OBJECT

public:
    explicit OptionStyle(QObject *parent);

    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &contentsSize,
                           const QWidget *widget = nullptr) const override;
};
