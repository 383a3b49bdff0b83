// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>

class QAccessibleInterface;

// What a screen reader finds in a note besides its frame: its text, to be
// read by line, word or character, and while its alarm rings an alert.

// The alert of a ringing alarm: an object of the accessibility tree that
// appears when the alarm goes off, so that a screen reader speaks it wherever
// the user is typing, and that draws nothing.
class AlarmAlert : public QWidget
{
    Q_OBJECT

public:
    explicit AlarmAlert(QWidget *note);

    void ring(const QString &name, const QString &description);
    void stop();
};

// The interfaces of a note's text and alert for the program's accessibility
// factory; null for any other class.
QAccessibleInterface *NoteAccessibleInterface(const QString &className, QObject *object);
