// SPDX-License-Identifier: MIT
// The cost of one tick of one note: Timer1_Timer of the note in slot 3, which
// reads its section of a full nopi.ini, steps its alarm and checks its place.
// Offscreen, no window system; the note stands where the file says, so the
// timed ticks write nothing (checked: a save replaces the file).
//
//   bench_tick [--quick]

#include "Offscreen.h"
#include "SampleFile.h"
#include "Stats.h"

#include "notes/NoteForm.h"
#include "store/Module1.h"

#include <QApplication>
#include <QDateTime>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

struct FileStamp
{
    ino_t inode = 0;
    timespec modified = {};
    off_t size = 0;

    static FileStamp of(const QString &path)
    {
        struct stat info = {};
        FileStamp stamp;
        if (stat(QFile::encodeName(path).constData(), &info) == 0)
            stamp = {info.st_ino, info.st_mtim, info.st_size};
        return stamp;
    }

    bool operator==(const FileStamp &other) const
    {
        return inode == other.inode && modified.tv_sec == other.modified.tv_sec
                && modified.tv_nsec == other.modified.tv_nsec && size == other.size;
    }
};

}

int main(int argc, char *argv[])
{
    const std::optional<bool> quickOption = quickRun(argc, argv);
    if (!quickOption)
        return 2;
    const bool quick = *quickOption;
    drawOffscreen();
    QApplication app(argc, argv);

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_tick: cannot create a temporary directory\n");
        return 1;
    }
    const QString path = dir.filePath(QStringLiteral("nopi.ini"));
    SetSettingsFilePath(path);
    ResetProgramState();
    SampleFile::write();

    // Slot 3's alarm is on and, as in every sample file, half a day away:
    // every tick walks the alarm's comparison but none fires.
    if (SampleFile::note(3).ALARM != 1) {
        std::fprintf(stderr, "bench_tick: the sample's slot 3 has no alarm\n");
        return 1;
    }

    UseSharedRecord = 0;
    auto *note = new NoteForm(3);
    note->Form_Load();
    note->show();
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents();

    // The first ticks may still write where the window system placed or sized
    // the note; after them the file and the window agree.
    for (int i = 0; i < 20; ++i)
        note->Timer1_Timer();
    LauncherRefresh = 0; // the launcher counts it down; there is none here
    QApplication::processEvents();

    const int iterations = quick ? 5000 : 50000;
    const FileStamp before = FileStamp::of(path);
    Samples samples{size_t(iterations)};
    for (int i = 0; i < iterations; ++i) {
        const auto start = Samples::Clock::now();
        note->Timer1_Timer();
        samples.add(Samples::Clock::now() - start);
    }
    const FileStamp after = FileStamp::of(path);

    std::printf("\nnote tick, slot 3, full nopi.ini (%lld bytes), offscreen\n", static_cast<long long>(after.size));
    samples.print("NoteForm::Timer1_Timer");
    if (!(before == after)) {
        std::printf("  -> the file was written during the timed ticks: the figures include saves\n");
        return 1;
    }
    printTarget("one tick of one note", samples.medianUs(), 30);

    // For scale: the load alone, which every tick does first.
    Samples loads{size_t(iterations)};
    NoteSettings loaded;
    for (int i = 0; i < iterations; ++i) {
        CurrentSection = NoteSection(3);
        const auto start = Samples::Clock::now();
        LoadNoteSettings(loaded);
        loads.add(Samples::Clock::now() - start);
    }
    loads.print("  of which LoadNoteSettings [FORM3]");
    const double medianTick = samples.medianUs();
    // The notes tick together, in rounds: at an alarm's minute, once a
    // minute at the longest, and twice a second only while one rings.
    std::printf("  -> one round of 15 notes' ticks at the median: %.1f us\n", medianTick * 15);
    delete note;
    return 0;
}
