// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

// The windows create, show and destroy one another. They do it through this
// registry, which the application fills at start-up, so that the launcher,
// the notes and the edit screen need not know each other's classes.
class Forms
{
public:
    virtual ~Forms();

    static Forms *instance();
    static void install(Forms *forms);

    // Sets LauncherRefresh to 2 and wakes the launcher's timer that follows
    // it; that timer sleeps while LauncherRefresh is 0, so an idle program
    // does not wake ten times a second for nothing.
    static void startLauncherRefresh();

    virtual QWidget *launcher() = 0;
    virtual void launcherRefreshStarted() { }
    virtual void setLauncherWidthTwips(int twips) = 0;

    // Shows the note window of a slot, loading it first when it is not loaded.
    virtual void showNote(int slot) = 0;
    // Unloads the note window of a slot (if loaded), then loads and shows it anew.
    virtual void reloadNote(int slot) = 0;
    virtual QWidget *note(int slot) = 0;

    // Discards any edit screen, then creates a fresh one and shows it.
    virtual void openEditScreen() = 0;
    virtual QWidget *editScreen() = 0;

    // What a click on the launcher's new-note button does, asked for from
    // any window by the keyboard.
    virtual void startNewNote() { }
    // Activates the next (or previous) of the program's windows after
    // `from`: the launcher, then the shown notes in slot order, round again.
    virtual void activateNextWindow(QWidget * /*from*/, bool /*forward*/) { }
    // A key was pressed in one of the program's windows, or the keyboard
    // took the user there: the launcher must not take the focus from it.
    virtual void keyboardUsedIn(QWidget * /*window*/) { }
};
