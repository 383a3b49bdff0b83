// SPDX-License-Identifier: MIT
// The saves on their way: the writer's thread and what it tells back to the
// screen's thread.
#include "store/Module1.h"

#include "store/SaveProblem.h"
#include "store/SettingsWatch.h"
#include "store/StoreState.h"
#include "store/SyncIdentity.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace {

// A save that failed is tried again this long after, until one works.
constexpr int RetryMs = 2000;

SaveProblemHandler saveProblemHandler;
MergeProblemHandler mergeProblemHandler;

void reportSaveProblem(const FileAccess::Problem &problem)
{
    const QString reason = ProblemText(problem);
    QString line = QStringLiteral("nopi: cannot save %1 - %2").arg(SettingsFilePath(), reason);
    if (problem.error != 0)
        line += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(problem.error)));
    qWarning().noquote() << line;
    if (saveProblemHandler)
        saveProblemHandler(SettingsFilePath(), reason);
}

// Each told once per run: a copy the sync program left that is no settings
// file, and a note that found no free slot.
void reportMergeProblems(const WriteOutcome &outcome)
{
    for (const std::string &path : outcome.unreadableCopies) {
        if (!store.told.insert("unreadable " + path).second)
            continue;
        qWarning().noquote() << QStringLiteral("nopi: %1 is not a settings file; it is left where it is")
                                        .arg(QFile::decodeName(QByteArray::fromStdString(path)));
    }
    for (const WriteOutcome::Unmerged &note : outcome.unmerged) {
        const QString text = LineBreaksFromStored(note.record.NAIYOU);
        const QString firstLine = text.left(text.indexOf(QLatin1Char('\r'))).trimmed();
        const QString keptIn = QFile::decodeName(QByteArray::fromStdString(note.keptIn));
        if (!store.told.insert("unmerged " + note.keptIn + ' ' + firstLine.toStdString()).second)
            continue;
        qWarning().noquote() << QStringLiteral("nopi: the note \"%1\" could not be merged: all %2 notes are in use; "
                                               "it stays in %3 until one is thrown away")
                                        .arg(firstLine)
                                        .arg(NoteSlots::Count)
                                        .arg(keptIn);
        if (mergeProblemHandler)
            mergeProblemHandler(firstLine, keptIn);
    }
}

bool anyDirty()
{
    const std::lock_guard lock(handover.mutex);
    return std::any_of(handover.sections.begin(), handover.sections.end(),
                       [](const HeldSection &held) { return held.dirty; });
}

void applyOutcomes();

// Runs on the writer's thread: one save of everything dirty, the conflict
// copies merged, or the new time for a file someone set back.
void runWriter()
{
    WriteRequest request;
    bool touch = false;
    FileAccess::FileStamp touchStamp;
    std::string touchContent;
    {
        const std::lock_guard lock(handover.mutex);
        request.path = handover.path;
        request.sections = handover.sections;
        request.machine = handover.machine;
        request.mergeCopies = std::exchange(handover.mergeCopies, false);
        request.prepare = std::exchange(handover.prepare, false);
        request.putAwayFolder = handover.putAwayFolder;
        touch = std::exchange(handover.touch, false);
        touchStamp = handover.touchStamp;
        touchContent = std::move(handover.touchContent);
    }
    WriteOutcome outcome = WriteSections(request, handover.copied);
    if (touch && outcome.saved && !outcome.ours) {
        FileAccess::FileStamp touched;
        if (FileAccess::touch(request.path, touchStamp, touchContent, &touched)) {
            outcome.ours = true;
            outcome.holdsFile = true;
            outcome.content = std::move(touchContent);
            outcome.stamp = touched;
        }
    }
    {
        const std::lock_guard lock(handover.mutex);
        for (size_t i = 0; i < SectionCount; ++i) {
            HeldSection &held = handover.sections[i];
            if (outcome.versions[i] != 0 && held.version == outcome.versions[i])
                held.dirty = false;
        }
        if (request.mergeCopies && outcome.saved)
            handover.copiesKept = !outcome.unmerged.empty();
        // Copies looked for in vain by a failed save are looked for again.
        if (request.mergeCopies && !outcome.saved)
            handover.mergeCopies = true;
        handover.outcomes.push_back(std::move(outcome));
    }
    if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, [] { applyOutcomes(); }, Qt::QueuedConnection);
}

void retryLater()
{
    static QPointer<QTimer> retry;
    StartOneShot(retry, RetryMs, [] {
        if (anyDirty())
            writer().request();
    });
}

// On the screen's thread: what the writer did is told, and its file kept.
void applyOutcomes()
{
    std::vector<WriteOutcome> outcomes;
    {
        const std::lock_guard lock(handover.mutex);
        outcomes.swap(handover.outcomes);
    }
    for (WriteOutcome &outcome : outcomes) {
        if (!outcome.saved) {
            // Told once per run of failures: a read-only file would otherwise
            // be reported at every save.
            if (!store.lastSaveFailed) {
                store.lastSaveFailed = true;
                reportSaveProblem(outcome.problem);
            }
            retryLater();
            continue;
        }
        reportMergeProblems(outcome);
        if (outcome.copiesArriving)
            OtherVersionsArriving(true);
        if (outcome.holdsFile)
            keepFile(std::move(outcome.content), outcome.stamp, outcome.ours);
        // The notes learn what the merge brought as they learn any change
        // made elsewhere.
        if (outcome.merged)
            TellMergedIntoSettingsFile();
        const bool wrote = std::any_of(outcome.versions.begin(), outcome.versions.end(),
                                       [](std::uint64_t v) { return v != 0; });
        if (wrote && std::exchange(store.lastSaveFailed, false) && saveProblemHandler)
            saveProblemHandler(SettingsFilePath(), QString());
    }
}

}

SettingsWriter &writer()
{
    // Never destroyed: at the process's end a write still under way is given
    // its time by FinishSaves(), and the thread then ends with the process.
    // A forked child has no thread of its parent's, and starts its own.
    static pid_t owner = 0;
    static SettingsWriter *thread = nullptr;
    if (!thread || owner != getpid()) {
        owner = getpid();
        thread = new SettingsWriter(runWriter);
    }
    return *thread;
}

void StartOneShot(QPointer<QTimer> &timer, int ms, void (*timeout)(), bool restart)
{
    if (!timer) {
        if (!QCoreApplication::instance())
            return;
        timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, timeout);
    }
    // Setting the interval of a running timer would start it anew.
    if (restart || !timer->isActive())
        timer->start(ms);
}

void forgetSections()
{
    writer().waitIdle(-1);
    {
        const std::lock_guard lock(handover.mutex);
        handover.sections = {};
        handover.outcomes.clear();
        handover.touch = false;
        handover.mergeCopies = false;
        handover.copiesKept = false;
        handover.copied = {};
        handover.path = store.path;
    }
    store.copy = FileCopy();
    store.lastSaveFailed = false;
    store.told.clear();
}

bool WaitForSaves(int timeoutMs)
{
    const bool idle = writer().waitIdle(timeoutMs);
    applyOutcomes();
    return idle;
}

void FinishSaves(int timeoutMs)
{
    writer().waitIdle(timeoutMs);
}

bool SavesUnderWay()
{
    {
        const std::lock_guard lock(handover.mutex);
        if (!handover.outcomes.empty())
            return true;
    }
    return writer().busy();
}

void SetSaveProblemHandler(SaveProblemHandler handler)
{
    saveProblemHandler = std::move(handler);
}

void SetMergeProblemHandler(MergeProblemHandler handler)
{
    mergeProblemHandler = std::move(handler);
}

void ExpectSave()
{
    settingsPathBytes();
    {
        const std::lock_guard lock(handover.mutex);
        handover.prepare = true;
        handover.machine = Sync::ThisMachine();
    }
    writer().request();
}

void MergeConflictCopies()
{
    settingsPathBytes();
    const std::string folder = QFile::encodeName(Sync::StateFolder() + QStringLiteral("/merged")).toStdString();
    {
        const std::lock_guard lock(handover.mutex);
        handover.mergeCopies = true;
        handover.putAwayFolder = folder;
        handover.machine = Sync::ThisMachine();
    }
    writer().request();
}

bool ConflictCopiesKept()
{
    const std::lock_guard lock(handover.mutex);
    return handover.copiesKept;
}
