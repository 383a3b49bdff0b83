// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractButton>
#include <QIcon>
#include <QPixmap>

// One of the program's pictures, at the screen's scale where the resources
// hold a larger drawing of it.
QPixmap LoadPicture(const char *resourcePath);

// The program's teddy-bear icon, at every size it is drawn in.
QIcon ProgramIcon();

// A picture that can be clicked: a click is a left press and release both on
// the picture. To a screen reader it is a push button that can be pressed;
// on the screen it is only its picture, with no focus frame and no pressed
// look, and it never takes the keyboard focus, so the keys of its window keep
// working whatever the mouse touched last.
class ImageControl : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ImageControl(QWidget *parent = nullptr);

    void setPixmap(const QPixmap &pixmap);
    QPixmap pixmap() const { return m_pixmap; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QPixmap m_pixmap;
};
