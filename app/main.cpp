// SPDX-License-Identifier: MIT
// Nopi: sticky notes on the desktop.
//
// Form1            (app/)    the launcher strip: start-up, new-note button, quit
// Desktop          (app/)    owns the windows, lets them open one another, tells of file trouble
// SingleInstance   (app/)    one copy per user; a later start calls the running one forward
// Session          (app/)    the end of the session: signals, the last save
// Platform         (app/)    command line, X11 over native Wayland, autostart entry, font names
// Form2            (editor/) the edit screen for one note
// FontDialog       (editor/) the edit screen's font choice
// NoteForm         (notes/)  one note window, Form3 … Form17, with its alarm tick
// NoteText         (notes/)  a note's text, drawn and measured as far as its window shows it
// NoteAlarm        (notes/)  when a tick fires, blinks or does nothing
// SharedTick       (notes/)  the notes' ticks, run together when something is due
// WallClockWake    (notes/)  wakes them at an alarm's second 00, a clock set, a resume, a new zone
// AlarmSound       (notes/)  the alarm's sound player and where its file is
// Module1          (store/)  Load/SaveNoteSettings, the shared record and flags
// SettingsWriter   (store/)  the thread that writes nopi.ini, one save after another
// SettingsWatch    (store/)  inotify on nopi.ini: changes made elsewhere
// FileAccess       (store/)  the file whole on disk: read, versions, atomic replace
// NoteSettings     (store/)  one section's 13 keys, their names and defaults
// NoteLook         (store/)  a section's colour and font as the screen shows them
// AlarmTime        (store/)  A_TIME packed and unpacked, the alarm line
// ProfileFile      (store/)  nopi.ini on bytes
// Cp932            (store/)  the file's Shift-JIS at its boundary
// Clock            (store/)  the one clock, which tests set, and the local zone's readings
// Forms            (store/)  the windows' registry, filled by Desktop
// WindowProcedures (desktop/) topmost band, window shapes, twips, screens
// UserPlacement    (desktop/) dragging and resizing, and telling the user's places from the window manager's
// X11              (desktop/) the X requests Qt has no word for
// ImageControl     (desktop/) a clickable picture at the screen's scale

#include "app/Desktop.h"
#include "app/Form1.h"
#include "app/Platform.h"
#include "app/Session.h"
#include "store/Module1.h"

#include <QApplication>
#include <QtDebug>

namespace {

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

QString saveProblemText(const QString &path, const QString &reason)
{
    return QStringLiteral("設定ファイルに保存できません。\n\n%1\n%2\n\n"
                          "付箋紙は画面に残っています。保存できるようになり次第まとめて保存し、このメッセージを閉じます。")
            .arg(path, reason);
}

QString unmergedNoteText(const QString &firstLine, const QString &keptIn)
{
    return QStringLiteral("別のコンピューターで書き換えられた付箋紙「%1」を取り込めませんでした。"
                          "付箋紙が%2枚とも使われているためです。\n\n"
                          "どれか1枚を捨てると、自動的に取り込まれます。それまで、この付箋紙は次のファイルに残っています。\n%3")
            .arg(firstLine)
            .arg(NoteSlots::Count)
            .arg(keptIn);
}

QString unreadableFileText(const QString &path, const QString &reason)
{
    return QStringLiteral("設定ファイルを読み込めません。\n\n%1\n%2\n\n"
                          "付箋紙を表示せずに起動しました。このファイルには手を加えていません。")
            .arg(path, reason);
}

}

int main(int argc, char *argv[])
{
    // Options are answered before anything else: no window, no lock, no
    // settings file, no word to a running copy.
    const Platform::Request request = Platform::parseArguments(argumentsOf(argc, argv));
    if (request.action != Platform::Request::Run) {
        QCoreApplication core(argc, argv);
        return Platform::carryOut(request);
    }
    if (!Platform::chooseWindowSystem())
        return 1;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("nopi"));
    QApplication::setQuitOnLastWindowClosed(false);
    Platform::registerFontSubstitutes();

    Session::finishSavesAtExit();
    Session::endCleanlyOnSignals();

    Desktop desktop;
    Forms::install(&desktop);
    SetSaveProblemHandler([&desktop](const QString &path, const QString &reason) {
        if (reason.isEmpty())
            desktop.savingWorks();
        else
            desktop.showProblem(saveProblemText(path, reason), Desktop::Problem::Saving);
    });
    SetMergeProblemHandler([&desktop](const QString &firstLine, const QString &keptIn) {
        desktop.showProblem(unmergedNoteText(firstLine, keptIn));
    });
    if (!desktop.form1().Form_Load())
        return 0;
    desktop.form1().show();
    desktop.watchForNotesFromElsewhere();
    if (const QString problem = SettingsFileProblem(); !problem.isEmpty()) {
        qWarning().noquote() << QStringLiteral("nopi: cannot read %1 - %2").arg(SettingsFilePath(), problem);
        desktop.showProblem(unreadableFileText(SettingsFilePath(), problem));
    }
    const int status = QApplication::exec();
    SetSaveProblemHandler(nullptr);
    SetMergeProblemHandler(nullptr);
    // A change made just before the quit still reaches the disk.
    Session::finishSaves();
    return status;
}
