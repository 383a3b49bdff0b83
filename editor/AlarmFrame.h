// SPDX-License-Identifier: MIT
#pragma once

#include <QGroupBox>

// The ALARM frame drawn as a classic group box: an etched rectangle whose top
// line runs through the middle of the title, the title interrupting it. The
// controls inside keep the places their definition gives them, which expect
// the title in the frame's top line, not above the frame.
class AlarmFrame : public QGroupBox
{
    Q_OBJECT

public:
    explicit AlarmFrame(QWidget *parent);

    // Where the frame's lines are drawn, in the frame's own coordinates.
    QRect lineRect() const;
    // Where the title is drawn over the top line.
    QRect titleRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
