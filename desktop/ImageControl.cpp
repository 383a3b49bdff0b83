// SPDX-License-Identifier: MIT
#include "desktop/ImageControl.h"

#include "ui/Definitions.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

namespace {

// The program's pictures are all PNG: read as such, without Qt loading every
// image-format plugin (and the JPEG library) to ask whether it knows them.
QPixmap readPng(const QString &path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
}

}

QPixmap LoadPicture(const char *resourcePath)
{
    const QString path = QString::fromUtf8(resourcePath);
    // On a scaled screen a stretched 1x picture looks blurred; the doubled
    // drawing keeps its pixels, at the same size on the screen.
    if (qGuiApp && qGuiApp->devicePixelRatio() > 1.0) {
        qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
        if (dot < 0)
            dot = path.size();
        QPixmap doubled = readPng(path.left(dot) + QStringLiteral("@2x") + path.mid(dot));
        if (!doubled.isNull()) {
            doubled.setDevicePixelRatio(2.0);
            return doubled;
        }
    }
    return readPng(path);
}

QIcon ProgramIcon()
{
    QIcon icon(readPng(QString::fromUtf8(Definitions::Icon)));
    for (const char *path : Definitions::IconSizes)
        icon.addPixmap(readPng(QString::fromUtf8(path)));
    return icon;
}

ImageControl::ImageControl(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void ImageControl::setPixmap(const QPixmap &pixmap)
{
    m_pixmap = pixmap;
    update();
}

QSize ImageControl::sizeHint() const
{
    return m_pixmap.deviceIndependentSize().toSize();
}

void ImageControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_pixmap);
}

void ImageControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        QAbstractButton::mousePressEvent(event);
    // Any press on a control is the control's own, not its window's: a right
    // press on a picture starts no drag.
    event->accept();
}

void ImageControl::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        QAbstractButton::mouseReleaseEvent(event);
    event->accept();
}

void ImageControl::mouseMoveEvent(QMouseEvent *event)
{
    QAbstractButton::mouseMoveEvent(event);
    // Movement over a control is the control's own, not its window's.
    event->accept();
}
