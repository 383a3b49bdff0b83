// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the program needs from the desktop before and after QApplication exists:
// its command line, a display to run on, a place in the session's autostart,
// and fonts for the faces stored notes name.
namespace Platform {

// What the command line asks for. Anything but Run is done without a window,
// without the settings file and without a word to a running copy.
struct Request
{
    enum Action { Run, Help, Version, AutostartOn, AutostartOff, NewNote, Misuse };
    Action action = Run;
    QString problem; // for Misuse: what was wrong, in one line
    QString text;    // for NewNote: the note's text
    bool textFromStandardInput = false; // for NewNote: "-" was given
};

// The arguments after the program's name.
Request parseArguments(const QStringList &arguments);

// Carries out a request other than Run; gives the exit status. NewNote asks
// the running copy, starting one first when none runs.
int carryOut(const Request &request);

// The Qt platform to run on, given QT_QPA_PLATFORM and whether an X display
// answers; empty when there is none. Windows must place themselves, which
// native Wayland does not allow, so any reachable X display (XWayland
// included) wins over what QT_QPA_PLATFORM asks, except the window-less
// platforms tests use.
QByteArray windowSystemFor(const QByteArray &requested, bool xDisplayReachable);

// Sets QT_QPA_PLATFORM before QApplication. False, after saying so on stderr,
// when there is no display to run on: Qt would abort instead.
bool chooseWindowSystem();

// $XDG_CONFIG_HOME/autostart/nopi.desktop, else ~/.config/autostart/nopi.desktop.
QString autostartEntryPath();
// The Exec value that starts this program: "nopi" when PATH finds this very
// program under that name, else its absolute path, quoted for a desktop entry.
QString desktopExec(const QString &programPath, const QString &programOnPath);

// Notes name Windows fonts; map them to the IPA fonts that look like them.
void registerFontSubstitutes();

}
