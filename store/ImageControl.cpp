#include "store/ImageControl.h"

#include <QMouseEvent>

QPixmap LoadPicture(const char *resourcePath)
{
    return QPixmap(QString::fromUtf8(resourcePath));
}

ImageControl::ImageControl(QWidget *parent) : QLabel(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void ImageControl::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ImageControl::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}

void ImageControl::mouseMoveEvent(QMouseEvent *event)
{
    // Movement over a control is the control's own, not its window's.
    event->accept();
}
