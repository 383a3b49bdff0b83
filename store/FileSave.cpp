// SPDX-License-Identifier: MIT
#include "store/FileSave.h"

#include "store/ConflictCopies.h"

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

// Whether the file's section may simply be written over with ours: ours has
// seen every change it holds.
bool writesOver(const StampedSection &ours, const StampedSection &inFile)
{
    if (!ours.stamp.covers(inFile.stamp))
        return false;
    for (int group = 0; group < Sync::GroupCount; ++group) {
        const Sync::Group part = Sync::Group(group);
        if (Sync::GroupDigest(ours.record, part) != Sync::GroupDigest(inFile.record, part)
            && !ours.stamp.hasSeen(Sync::ChangeOf(inFile.stamp, inFile.record, part)))
            return false;
    }
    return true;
}

// Whether some section of the file has seen another machine's change: such
// a file is written in the one form every machine's merge gives it.
bool holdsOtherMachines(std::string_view content, const SectionBodies &bodies, std::string_view machine)
{
    return std::any_of(bodies.begin(), bodies.end(), [&](const std::optional<ProfileFile::Body> &body) {
        const Sync::Stamp stamp = ReadStamp(content, body);
        return std::any_of(stamp.seen.begin(), stamp.seen.end(),
                           [machine](const Sync::Dot &dot) { return Sync::IsMachineName(dot.machine) && dot.machine != machine; });
    });
}

// A file that holds other machines' changes is merged at every save; the
// merge keeps each section's last decoding and encoding (ProfileMerge), so
// doing both now leaves the save only the sections it changes. Long notes
// make that most of a save's time.
void prepareMerge(const std::string &path, std::string_view machine)
{
    std::string base;
    if (FileAccess::readFile(path, base) != FileAccess::ReadResult::Ok || IsDamaged(base))
        return;
    if (holdsOtherMachines(base, FindOurSections(base), machine))
        CanonicalFile(SectionsOf(base), {});
}

// A text that found no free slot stays in a version beside the file: the
// conflict copy it came from, or one made of the version it came from.
void keepUnmerged(const WriteRequest &request, const std::string &base,
                  const std::vector<MergedVersions::Unplaced> &unplaced,
                  const std::vector<ConflictCopies::Copy> &copies, WriteOutcome &outcome)
{
    std::vector<std::pair<size_t, std::string>> made;
    for (const MergedVersions::Unplaced &note : unplaced) {
        std::string keptIn;
        if (note.input >= 2) {
            keptIn = copies[note.input - 2].path;
        } else {
            const auto found = std::find_if(made.begin(), made.end(), [&](const auto &entry) { return entry.first == note.input; });
            if (found != made.end()) {
                keptIn = found->second;
            } else {
                std::string version = base;
                if (note.input == 1)
                    version = ContentWith(std::string_view(), request.sections).content;
                keptIn = ConflictCopies::keepVersion(request.path, version);
                made.emplace_back(note.input, keptIn);
            }
        }
        outcome.unmerged.push_back({keptIn, note.record});
    }
}

}

bool IsDamaged(std::string_view content)
{
    const bool blank = std::all_of(content.begin(), content.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
    });
    return !blank && !ProfileFile::holdsAnySection(content, SectionNames());
}

NewContent ContentWith(std::string_view base, const HeldSections &sections,
                       std::span<const std::string_view> copies, std::string_view machine)
{
    // Damaged: only what is ours is kept in the live file; the damaged bytes
    // are in their copy beside it.
    const std::string_view kept = IsDamaged(base) ? std::string_view() : base;
    // A long file is searched once, and only the sections saved are decoded:
    // the others' stamps tell all that is needed of them.
    const SectionBodies bodies = FindOurSections(kept);
    bool merge = !copies.empty() || holdsOtherMachines(kept, bodies, machine);
    VersionSections ours;
    for (size_t i = 0; i < SectionCount; ++i) {
        const HeldSection &held = sections[i];
        if (!held.dirty && !(held.known && !bodies[i]))
            continue;
        ours[i] = StampedSection{held.record, held.stamp};
        if (!merge && bodies[i]) {
            DecodedSection inFile = ReadSectionBody(kept, bodies[i]);
            merge = !writesOver(*ours[i], StampedSection{std::move(inFile.record), std::move(inFile.stamp)});
        }
    }
    if (!merge) {
        NewContent result{std::string(kept), false, {}};
        const auto &names = SectionNames();
        for (size_t i = 0; i < SectionCount; ++i) {
            if (ours[i])
                result.content = WithSection(result.content, names[i], ours[i]->record, ours[i]->stamp);
        }
        return result;
    }
    std::vector<VersionSections> inputs{SectionsOf(kept), ours};
    std::vector<std::string_view> files{kept};
    for (const std::string_view copy : copies) {
        inputs.push_back(SectionsOf(copy));
        files.push_back(copy);
    }
    MergedVersions merged = MergeVersions(inputs);
    NewContent result{CanonicalFile(merged.sections, files), true, std::move(merged.unplaced)};
    return result;
}

WriteOutcome WriteSections(const WriteRequest &request, DamagedCopy &copied)
{
    WriteOutcome outcome;
    const std::string &path = request.path;
    std::vector<ConflictCopies::Copy> copies;
    if (request.mergeCopies)
        copies = ConflictCopies::find(path, outcome.unreadableCopies, outcome.copiesArriving);
    if (!anyDirty(request.sections) && copies.empty()) {
        if (request.prepare)
            prepareMerge(path, request.machine);
        outcome.saved = true;
        return outcome;
    }
    std::string base;
    FileAccess::FileStamp baseStamp;
    // A file that exists but cannot be read is left as it is.
    if (FileAccess::readFile(path, base, &outcome.problem, &baseStamp) == FileAccess::ReadResult::Failed
        || !keepCopyIfDamaged(path, base, copied, &outcome.problem))
        return outcome;

    std::vector<std::string_view> copyContents;
    for (const ConflictCopies::Copy &copy : copies)
        copyContents.push_back(copy.content);
    NewContent updated = ContentWith(base, request.sections, copyContents, request.machine);
    // The file already holds every byte: replacing it would only cost a
    // flush to disk and wake whatever watches the file.
    if (updated.content == base) {
        outcome.saved = true;
        outcome.stamp = baseStamp;
        // What was handed over lost to what the file already holds (a note
        // saved again, by this machine, after another machine's later move
        // of it was merged in): the notes must still learn the file's version.
        outcome.merged = updated.merged;
    } else {
        outcome.saved = FileAccess::replaceFile(path, updated.content, &outcome.problem, &outcome.stamp);
        outcome.ours = outcome.saved;
        outcome.merged = outcome.saved && updated.merged;
    }
    if (!outcome.saved)
        return outcome;
    keepUnmerged(request, base, updated.unplaced, copies, outcome);
    for (const ConflictCopies::Copy &copy : copies) {
        const bool stays = std::any_of(outcome.unmerged.begin(), outcome.unmerged.end(),
                                       [&](const WriteOutcome::Unmerged &note) { return note.keptIn == copy.path; });
        if (!stays)
            ConflictCopies::putAway(copy.path, request.putAwayFolder);
    }
    outcome.holdsFile = true;
    outcome.content = std::move(updated.content);
    for (size_t i = 0; i < SectionCount; ++i)
        outcome.versions[i] = request.sections[i].dirty ? request.sections[i].version : 0;
    return outcome;
}
