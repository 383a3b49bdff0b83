// SPDX-License-Identifier: MIT
// What the edit screen leaves behind: a note is double-clicked and the edit
// screen closed with Esc, again and again, as a user editing notes all day
// would; the memory after the first opening and after the last is compared.
// On the window system it is given (the bench's display), offscreen without
// one. Each screen is shown until the window system has exposed it, so that
// it is drawn as a user sees it.
//
//   bench_editscreen [--openings N]     150 by default

#include "SampleFile.h"

#include "app/Desktop.h"
#include "editor/Form2.h"
#include "notes/NoteForm.h"
#include "store/Module1.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QWindow>

#include <cstdio>
#include <cstring>
#include <malloc.h>

namespace {

constexpr double TargetGrowthMiB = 2;

double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return 0;
}

double heapInUseMiB()
{
    return double(mallinfo2().uordblks) / (1024 * 1024);
}

// Events until the window is on the screen and drawn, at most a second.
void showUntilExposed(QWidget *window)
{
    QDeadlineTimer deadline(1000);
    while (!deadline.hasExpired() && !(window->windowHandle() && window->windowHandle()->isExposed()))
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// One opening, as the user makes it: a double-click on the note, then Esc.
bool openAndClose(Desktop &desktop, NoteForm *note)
{
    note->Form_DblClick();
    auto *screen = static_cast<Form2 *>(desktop.editScreen());
    if (!screen)
        return false;
    showUntilExposed(screen);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(screen, &escape);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    return EditScreenOpen == 0;
}

}

int main(int argc, char *argv[])
{
    int openings = 150;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--openings") == 0 && i + 1 < argc) {
            openings = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--openings N]\n", argv[0]);
            return 2;
        }
    }
    if (openings < 2) {
        std::fprintf(stderr, "bench_editscreen: at least 2 openings\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");
    QApplication app(argc, argv);

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_editscreen: cannot create a temporary directory\n");
        return 1;
    }
    SetSettingsFilePath(dir.filePath(QStringLiteral("nopi.ini")));
    ResetProgramState();
    SampleFile::write();

    Desktop desktop;
    Forms::install(&desktop);
    CurrentSection = NoteSection(3);
    UseSharedRecord = 0;
    desktop.showNote(3);
    auto *note = static_cast<NoteForm *>(desktop.note(3));
    showUntilExposed(note);

    if (!openAndClose(desktop, note)) {
        std::fprintf(stderr, "bench_editscreen: the edit screen did not open and close\n");
        return 1;
    }
    const double firstRss = residentMiB();
    const double firstHeap = heapInUseMiB();
    for (int i = 1; i < openings; ++i) {
        if (!openAndClose(desktop, note)) {
            std::fprintf(stderr, "bench_editscreen: opening %d did not open and close\n", i + 1);
            return 1;
        }
    }
    const double lastRss = residentMiB();
    const double lastHeap = heapInUseMiB();

    std::printf("\nedit screen opened by a double-click and closed with Esc %d times, on %s\n", openings,
                qPrintable(QGuiApplication::platformName()));
    std::printf("VmRSS after the first opening   %8.1f MiB\n", firstRss);
    std::printf("VmRSS after opening %-4d        %8.1f MiB\n", openings, lastRss);
    std::printf("heap in use after the first     %8.1f MiB\n", firstHeap);
    std::printf("heap in use after opening %-4d  %8.1f MiB\n", openings, lastHeap);
    std::printf("  -> VmRSS growth %.1f MiB, target <= %.0f MiB: %s\n", lastRss - firstRss, TargetGrowthMiB,
                lastRss - firstRss <= TargetGrowthMiB ? "met" : "MISSED");
    Forms::install(nullptr);
    return 0;
}
