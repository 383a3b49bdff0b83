// SPDX-License-Identifier: MIT
// How long the settings store takes: loading one section of a full nopi.ini
// (each note does it at every tick) and saving one (at every change, with the
// fsync'd atomic replace), on the ordinary temporary directory and on tmpfs.
//
//   bench_store [--quick]
//   bench_store --write-sample PATH [--due HHMM] [--long]
//       only writes the sample file to PATH; with --due, all fifteen notes'
//       alarms are on and due at HHMM (fifteen saves in one minute); with
//       --long, each note holds 60 KiB of text

#include "SampleFile.h"
#include "Stats.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>

namespace {

struct Counts
{
    int loads;
    int diskSaves;
    int tmpfsSaves;
};

void benchLoad(const QString &section, int iterations, const char *label, bool withTarget)
{
    NoteSettings record;
    CurrentSection = section;
    for (int i = 0; i < 200; ++i)
        LoadNoteSettings(record);
    Samples samples{size_t(iterations)};
    for (int i = 0; i < iterations; ++i) {
        CurrentSection = section;
        const auto start = Samples::Clock::now();
        LoadNoteSettings(record);
        samples.add(Samples::Clock::now() - start);
    }
    // Keeps the loads from being optimised into nothing.
    if (record.SIYOU != 1 && section != LauncherSection())
        std::printf("unexpected: %s is not in use\n", qPrintable(section));
    samples.print(label);
    if (withTarget)
        printTarget("load of one section", samples.medianUs(), 20);
}

// What a save costs the screen's thread (the hand-over to the writer), and
// what it costs until the file holds it.
void benchSave(int iterations, const char *handedLabel, const char *onDiskLabel)
{
    // Alternating values, so every save really changes the file.
    NoteSettings record = SampleFile::note(9);
    Samples handed{size_t(iterations)};
    Samples onDisk{size_t(iterations)};
    for (int i = 0; i < iterations; ++i) {
        record.POJIX = 300 + (i % 2) * 15;
        CurrentSection = NoteSection(9);
        const auto start = Samples::Clock::now();
        SaveNoteSettings(record);
        handed.add(Samples::Clock::now() - start);
        WaitForSaves();
        onDisk.add(Samples::Clock::now() - start);
    }
    handed.print(handedLabel);
    onDisk.print(onDiskLabel);
}

void benchIn(const QString &base, const char *where, int saves, const Counts &counts,
             SampleFile::Texts texts = SampleFile::Texts::Short)
{
    QTemporaryDir dir(base + QStringLiteral("/nopi-bench-XXXXXX"));
    if (!dir.isValid()) {
        std::printf("%s: cannot create a directory under %s\n", where, qPrintable(base));
        return;
    }
    SetSettingsFilePath(dir.filePath(QStringLiteral("nopi.ini")));
    SampleFile::write(std::nullopt, texts);
    std::printf("\n%s (%s), nopi.ini %lld bytes, 16 sections\n", where, qPrintable(base),
                static_cast<long long>(QFileInfo(dir.filePath(QStringLiteral("nopi.ini"))).size()));

    char label[96];
    std::snprintf(label, sizeof label, "LoadNoteSettings [FORM3] (first note)");
    benchLoad(NoteSection(3), counts.loads, label, false);
    std::snprintf(label, sizeof label, "LoadNoteSettings [FORM17] (last in file)");
    benchLoad(NoteSection(17), counts.loads, label, true);
    benchSave(saves, "SaveNoteSettings [FORM9], handed to the writer", "a save of [FORM9] until the file holds it");
}

int usage(const char *self)
{
    std::fprintf(stderr, "usage: %s [--quick] | --write-sample PATH [--due HHMM] [--long]\n", self);
    return 2;
}

}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[i], "--write-sample") == 0 && i + 1 < argc) {
            SetSettingsFilePath(QString::fromLocal8Bit(argv[++i]));
            std::optional<qint32> due;
            if (i + 2 < argc && std::strcmp(argv[i + 1], "--due") == 0) {
                const int hhmm = std::atoi(argv[i + 2]);
                if (hhmm < 0 || hhmm > 2359 || hhmm % 100 > 59)
                    return usage(argv[0]);
                due = hhmm;
                i += 2;
            }
            SampleFile::Texts texts = SampleFile::Texts::Short;
            if (i + 1 < argc && std::strcmp(argv[i + 1], "--long") == 0) {
                texts = SampleFile::Texts::Long;
                ++i;
            }
            if (i + 1 < argc)
                return usage(argv[0]);
            SampleFile::write(due, texts);
            return 0;
        } else {
            return usage(argv[0]);
        }
    }

    const Counts counts = quick ? Counts{5000, 50, 500} : Counts{50000, 300, 5000};
    benchIn(QDir::tempPath(), "temporary directory", counts.diskSaves, counts);
    if (QFileInfo(QStringLiteral("/dev/shm")).isDir() && QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        benchIn(QStringLiteral("/dev/shm"), "tmpfs, fsync costs nothing", counts.tmpfsSaves, counts);
    else
        std::printf("\n/dev/shm is not there: no figures without disk sync\n");
    // Every save rewrites the whole file: fifteen long notes make each one
    // rewrite about 900 KiB.
    const Counts longCounts{counts.loads / 10, counts.diskSaves / 3, 0};
    benchIn(QDir::tempPath(), "long notes, temporary directory", longCounts.diskSaves, longCounts,
            SampleFile::Texts::Long);
    return 0;
}
