// SPDX-License-Identifier: MIT
#include "desktop/ImageControl.h"

#include "ui/Definitions.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QMouseEvent>

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
