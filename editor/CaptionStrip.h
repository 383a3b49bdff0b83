// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

// The edit screen's own title bar: the window's caption in the desktop's title
// colours, and nothing to press. Window managers cannot be trusted to draw a
// title bar without buttons, and a minimise button there hid the screen with
// no way back. Dragging the strip moves the window.
class CaptionStrip : public QWidget
{
    Q_OBJECT

public:
    explicit CaptionStrip(QWidget *parent);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
};
