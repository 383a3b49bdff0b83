// SPDX-License-Identifier: MIT
#pragma once

#include "SettingsFixture.h"
#include "app/Desktop.h"
#include "app/Form1.h"
#include "app/Platform.h"
#include "editor/Form2.h"
#include "notes/NoteForm.h"
#include "notes/NoteText.h"
#include "store/Clock.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

// A private settings file, a private runtime directory for the single-copy
// lock, the program's windows, and a clock that stands still until told.
class WidgetFixture : public SettingsFixture
{
public:
    explicit WidgetFixture(const QDateTime &now = QDateTime(QDate(2026, 12, 7), QTime(9, 29, 59)))
    {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        Platform::registerFontSubstitutes();
        Clock::setFixed(now);
        m_desktop = std::make_unique<Desktop>();
        Forms::install(m_desktop.get());
    }

    ~WidgetFixture()
    {
        m_desktop.reset();
        Clock::useSystemClock();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    Desktop &desktop() { return *m_desktop; }
    Form1 &launcher() { return m_desktop->form1(); }

    NoteForm *note(int slot) { return static_cast<NoteForm *>(m_desktop->note(slot)); }
    Form2 *editScreen() { return static_cast<Form2 *>(m_desktop->editScreen()); }

    // Shows the note of a slot from the file, as start-up does.
    NoteForm *showNote(int slot)
    {
        CurrentSection = NoteSection(slot);
        UseSharedRecord = 0;
        m_desktop->showNote(slot);
        return note(slot);
    }

    // Opens the edit screen as the launcher's new-note button or a note's
    // double-click does.
    Form2 *openEditScreen(int slot)
    {
        EditScreenOpen = 1;
        EditSection = NoteSection(slot);
        UseSharedRecord = 1;
        m_desktop->openEditScreen();
        return editScreen();
    }

    static void setTime(const QDateTime &now) { Clock::setFixed(now); }

private:
    QTemporaryDir m_runtime;
    std::unique_ptr<Desktop> m_desktop;
};

template <typename T>
T *child(QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QString::fromLatin1(name));
    Q_ASSERT(found);
    return found;
}

// A note section as the program writes it, with the given overrides.
inline NoteSettings noteRecord(int x = 3000, int y = 3000)
{
    NoteSettings record;
    record.SIYOU = 1;
    record.B_Color = 8454143;
    record.POJIX = x;
    record.POJIY = y;
    record.YOKO = 2700;
    record.TATE = 1500;
    record.NAIYOU = QStringLiteral("memo");
    return record;
}
