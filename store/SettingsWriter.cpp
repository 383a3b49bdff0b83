// SPDX-License-Identifier: MIT
#include "store/SettingsWriter.h"

#include "store/ProfileFile.h"
#include "store/SectionText.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <span>

namespace {

bool anyDirty(const HeldSections &sections)
{
    return std::any_of(sections.begin(), sections.end(), [](const HeldSection &held) { return held.dirty; });
}

// A damaged file is copied aside before it is first written over, so it can
// be recovered by hand. False, with `problem` set, when no copy could be made.
bool keepCopyIfDamaged(const std::string &path, std::string_view content, DamagedCopy &copied,
                       FileAccess::Problem *problem)
{
    if (!IsDamaged(content))
        return true;
    const size_t hash = std::hash<std::string_view>()(content);
    if (content.size() != copied.size || hash != copied.hash) {
        if (FileAccess::keepCopy(path, content, problem).empty())
            return false;
        copied = {content.size(), hash};
    }
    return true;
}

}

const std::array<std::string_view, SectionCount> &SectionNames()
{
    static const std::array<std::string, SectionCount> names = [] {
        std::array<std::string, SectionCount> all;
        all[0] = LauncherSection().toStdString();
        for (int slot = NoteSlots::First; slot <= NoteSlots::Last; ++slot)
            all[size_t(slot - NoteSlots::First + 1)] = NoteSection(slot).toStdString();
        return all;
    }();
    static const std::array<std::string_view, SectionCount> views = [] {
        std::array<std::string_view, SectionCount> all;
        for (size_t i = 0; i < SectionCount; ++i)
            all[i] = names[i];
        return all;
    }();
    return views;
}

bool IsDamaged(std::string_view content)
{
    const bool blank = std::all_of(content.begin(), content.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
    });
    return !blank && !ProfileFile::holdsAnySection(content, SectionNames());
}

std::string ContentWith(std::string_view base, const HeldSections &sections)
{
    // Damaged: only what is ours is kept in the live file; the damaged bytes
    // are in their copy beside it.
    std::string content = IsDamaged(base) ? std::string() : std::string(base);
    const auto &names = SectionNames();
    for (size_t i = 0; i < SectionCount; ++i) {
        const HeldSection &held = sections[i];
        const std::string_view name = names[i];
        if (held.dirty || (held.known && !ProfileFile::holdsAnySection(content, std::span(&name, 1))))
            content = WithSection(content, name, held.record);
    }
    return content;
}

WriteOutcome WriteSections(const std::string &path, const HeldSections &sections, DamagedCopy &copied)
{
    WriteOutcome outcome;
    if (!anyDirty(sections)) {
        outcome.saved = true;
        return outcome;
    }
    std::string base;
    FileAccess::FileStamp baseStamp;
    // A file that exists but cannot be read is left as it is.
    if (FileAccess::readFile(path, base, &outcome.problem, &baseStamp) == FileAccess::ReadResult::Failed
        || !keepCopyIfDamaged(path, base, copied, &outcome.problem))
        return outcome;

    std::string updated = ContentWith(base, sections);
    // The file already holds every byte: replacing it would only cost a
    // flush to disk and wake whatever watches the file.
    if (updated == base) {
        outcome.saved = true;
        outcome.stamp = baseStamp;
    } else {
        outcome.saved = FileAccess::replaceFile(path, updated, &outcome.problem, &outcome.stamp);
        outcome.ours = outcome.saved;
    }
    if (!outcome.saved)
        return outcome;
    outcome.holdsFile = true;
    outcome.content = std::move(updated);
    for (size_t i = 0; i < SectionCount; ++i)
        outcome.versions[i] = sections[i].dirty ? sections[i].version : 0;
    return outcome;
}

SettingsWriter::SettingsWriter(std::function<void()> run) : m_run(std::move(run))
{
    m_thread = std::thread([this] { loop(); });
}

SettingsWriter::~SettingsWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    // A write already handed over is finished first; one stuck on a dead
    // disk must not hold up the end of the program.
    if (waitIdle(5000))
        m_thread.join();
    else
        m_thread.detach();
}

void SettingsWriter::request()
{
    {
        std::lock_guard lock(m_mutex);
        m_requested = true;
    }
    m_changed.notify_all();
}

bool SettingsWriter::busy()
{
    std::lock_guard lock(m_mutex);
    return m_requested || m_running;
}

bool SettingsWriter::waitIdle(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    const auto idle = [this] { return !m_requested && !m_running; };
    if (timeoutMs < 0) {
        m_changed.wait(lock, idle);
        return true;
    }
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), idle);
}

void SettingsWriter::loop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_requested || m_stopping; });
        if (!m_requested)
            return;
        m_requested = false;
        m_running = true;
        lock.unlock();
        m_run();
        lock.lock();
        m_running = false;
        m_changed.notify_all();
    }
}
