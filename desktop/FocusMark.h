// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QWidget>

#include <functional>

// The keyboard focus made visible on a frameless window: a dotted rectangle,
// one pixel wide, just inside the window's visible edge, its dots black and
// white in turn so that it shows on any colour. It is drawn while the window
// has the focus and the user's last input to the program was a key (Tab to
// the window, Enter on the edit screen's ＯＫ, Ctrl+N); a mouse press anywhere
// in the program takes it away, so a mouse user never sees it.
class FocusMark : public QWidget
{
public:
    // `visible`: the part of the window the screen shows, in its own pixels.
    FocusMark(QWidget *window, std::function<QRect()> visible);
    ~FocusMark() override;

    // Shows or hides the mark as the window's focus and the user's last
    // input say.
    void follow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QRect ring() const;
    void place();

    QWidget *m_window;
    std::function<QRect()> m_visible;
};
