// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QLabel>

// One of the program's pictures, at the screen's scale where the resources
// hold a larger drawing of it.
QPixmap LoadPicture(const char *resourcePath);

// The program's teddy-bear icon, at every size it is drawn in.
QIcon ProgramIcon();

// A picture that can be clicked: a click is a left press and release both on
// the picture.
class ImageControl : public QLabel
{
    Q_OBJECT

public:
    explicit ImageControl(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};
