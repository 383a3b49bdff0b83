// SPDX-License-Identifier: MIT
#pragma once

#include "notes/SharedTick.h"
#include "store/Forms.h"
#include "store/NoteSettings.h"

#include <QPointer>

#include <array>
#include <memory>

class Form1;
class Form2;
class NoteForm;
class QMessageBox;

// Owns the program's windows: the launcher for the whole run, a note window
// per slot in use, and at most one edit screen.
class Desktop : public Forms
{
public:
    Desktop();
    ~Desktop() override;

    Form1 &form1() { return *m_form1; }

    QWidget *launcher() override;
    void setLauncherWidthTwips(int twips) override;
    void launcherRefreshStarted() override;
    void showNote(int slot) override;
    void reloadNote(int slot) override;
    QWidget *note(int slot) override;
    void openEditScreen() override;
    QWidget *editScreen() override;
    void startNewNote() override;
    void activateNextWindow(QWidget *from, bool forward) override;
    void keyboardUsedIn(QWidget *window) override;

    // From now on, a note another machine sharing the file shows in a slot
    // this copy has no window for is shown here too, about twice a second.
    void watchForNotesFromElsewhere();
    void showNotesFromElsewhere();

    enum class Problem { Reading, Saving };
    // Tells the user of a trouble with the settings file, in a box that waits
    // for nobody: the notes' ticks and alarms go on behind it. One box at a
    // time; a later word replaces the text of the one on screen.
    void showProblem(const QString &text, Problem problem = Problem::Reading);
    // Saves work again: a box that says they do not goes away by itself.
    void savingWorks();

private:
    std::unique_ptr<Form1> m_form1;
    std::array<QPointer<NoteForm>, NoteSlots::Last + 1> m_notes;
    QPointer<Form2> m_editScreen;
    QPointer<QMessageBox> m_problemBox;
    Problem m_problem = Problem::Reading;
    // In step with the notes' ticks, so watching costs no wake-up of its own.
    SharedTick m_watch{[this] { showNotesFromElsewhere(); }};
};
