// SPDX-License-Identifier: MIT
#include "desktop/WindowAnnouncer.h"

#include <QAccessible>
#include <QWidget>

namespace {

QAccessible::UpdateHandler g_previous = nullptr;

void handle(QAccessibleEvent *event);

bool isWindowActivation(QAccessibleEvent *event)
{
    if (event->type() != QAccessible::StateChanged
        || !static_cast<QAccessibleStateChangeEvent *>(event)->changedStates().active)
        return false;
    const auto *widget = qobject_cast<QWidget *>(event->object());
    return widget && widget->isWindow();
}

void handle(QAccessibleEvent *event)
{
    if (isWindowActivation(event))
        return;
    if (g_previous) {
        g_previous(event);
        return;
    }
    // Without a handler, Qt hands the event to the screen readers.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(handle);
}

}

void AnnounceActiveWindowOnce()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    g_previous = QAccessible::installUpdateHandler(handle);
}
