// SPDX-License-Identifier: MIT
#include "store/ProfileMerge.h"

#include "store/ProfileFile.h"

#include <algorithm>
#include <climits>
#include <numeric>
#include <set>

namespace {

using Sync::Group;

// With long notes, decoding and encoding the whole file would be most of
// what a save costs, though a save changes a section or two. Each thread
// keeps, for each section, the bytes it last decoded and the text it last
// encoded; the texts share their characters with the records.
struct SectionMemo
{
    std::string raw;
    std::optional<StampedSection> decoded;
    std::optional<StampedSection> encoded;
    std::string text;
};
thread_local std::array<SectionMemo, SectionCount> sectionMemos;

const std::string &sectionText(size_t index, const StampedSection &section)
{
    SectionMemo &memo = sectionMemos[index];
    if (!memo.encoded || *memo.encoded != section) {
        memo.text = SectionText(SectionNames()[index], section.record, section.stamp);
        memo.encoded = section;
    }
    return memo.text;
}

std::uint32_t hashText(std::string_view text)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

// A change the merge itself makes (a note brought back, a text given a slot
// of its own), named after what it was made from, so that every machine
// making it names it alike.
Sync::Dot mintedChange(std::string_view madeFrom, std::int64_t time)
{
    static constexpr char Characters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::uint32_t hash = hashText(madeFrom);
    std::string machine = "~";
    for (int i = 0; i < 7; ++i) {
        machine += Characters[hash % 36];
        hash /= 36;
    }
    return Sync::Dot{machine, time};
}

// Whether b's values of the group are the later change. Values no stamp
// tells have a change at time 0, named after the values, so the choice
// between two such is the same on every machine too.
bool laterInB(const StampedSection &a, const StampedSection &b, Group group)
{
    return Sync::IsLater(Sync::ChangeOf(b.stamp, b.record, group), Sync::ChangeOf(a.stamp, a.record, group));
}

// Whether `from`'s values of the group are news to `to`.
bool isNews(const StampedSection &from, const StampedSection &to, Group group)
{
    return !to.stamp.hasSeen(Sync::ChangeOf(from.stamp, from.record, group));
}

bool differ(const StampedSection &a, const StampedSection &b, Group group)
{
    return Sync::GroupDigest(a.record, group) != Sync::GroupDigest(b.record, group);
}

// The user stopped this crossing's alarm somewhere: that wins over its ring.
bool stopWinsInB(const StampedSection &a, const StampedSection &b, bool &inB)
{
    const Sync::AlarmCrossing &x = a.stamp.crossing;
    const Sync::AlarmCrossing &y = b.stamp.crossing;
    if (x.minute == 0 || x.minute != y.minute || x.stopped == y.stopped)
        return false;
    inB = y.stopped;
    return true;
}

// A note thrown away in one version and changed in the other comes back with
// the change: nothing written is lost.
void bringBackIfChanged(SectionMerge &result, const StampedSection &a, const StampedSection &b)
{
    StampedSection &merged = result.merged;
    if (merged.record.SIYOU == 1)
        return;
    static constexpr std::array<Group, 4> NoteParts = {Sync::Text, Sync::Look, Sync::Alarm, Sync::Place};
    for (const auto &sides : {std::pair(&a, &b), std::pair(&b, &a)}) {
        const StampedSection *kept = sides.first;
        const StampedSection *thrown = sides.second;
        if (kept->record.SIYOU != 1)
            continue;
        const bool changed = std::any_of(NoteParts.begin(), NoteParts.end(), [&](Group group) {
            return differ(*kept, *thrown, group) && isNews(*kept, *thrown, group);
        });
        if (!changed)
            return;
        const Sync::Dot thrownAt = Sync::ChangeOf(thrown->stamp, thrown->record, Sync::Slot);
        std::string madeFrom = "back " + Sync::FormatStamp(a.stamp) + '|' + Sync::FormatStamp(b.stamp);
        if (Sync::FormatStamp(b.stamp) < Sync::FormatStamp(a.stamp))
            madeFrom = "back " + Sync::FormatStamp(b.stamp) + '|' + Sync::FormatStamp(a.stamp);
        const Sync::Dot back = mintedChange(madeFrom, thrownAt.time + 1);
        merged.record.SIYOU = 1;
        merged.stamp.groups[Sync::Slot] = Sync::GroupStamp{back, Sync::GroupDigest(merged.record, Sync::Slot)};
        merged.stamp.see(back);
        return;
    }
}

}

VersionSections SectionsOf(std::string_view content)
{
    VersionSections sections;
    const SectionBodies bodies = FindOurSections(content);
    for (size_t i = 0; i < SectionCount; ++i) {
        if (!bodies[i])
            continue;
        const std::string_view raw = content.substr(bodies[i]->begin, bodies[i]->end - bodies[i]->begin);
        SectionMemo &memo = sectionMemos[i];
        if (!memo.decoded || memo.raw != raw) {
            DecodedSection decoded = ReadSectionBody(content, bodies[i]);
            memo.raw = raw;
            memo.decoded = StampedSection{std::move(decoded.record), std::move(decoded.stamp)};
        }
        sections[i] = memo.decoded;
    }
    return sections;
}

SectionMerge MergeSection(const StampedSection &a, const StampedSection &b, bool isNote)
{
    SectionMerge result{a, false, std::nullopt};
    if (a == b)
        return result;
    StampedSection &merged = result.merged;
    merged.stamp.seeAll(b.stamp);
    merged.stamp.crossing = std::max(a.stamp.crossing, b.stamp.crossing);
    for (int index = 0; index < Sync::GroupCount; ++index) {
        const Group group = Group(index);
        bool fromB = false;
        if (!differ(a, b, group)) {
            // The same values: the stamp that tells them, the later one where
            // both do.
            fromB = laterInB(a, b, group);
        } else {
            const bool newsInA = isNews(a, b, group);
            const bool newsInB = isNews(b, a, group);
            bool stopInB = false;
            if (newsInA != newsInB)
                fromB = newsInB;
            else if (group == Sync::Alarm && stopWinsInB(a, b, stopInB))
                fromB = stopInB;
            else
                fromB = laterInB(a, b, group);
            if (isNote && group == Sync::Text && newsInA && newsInB)
                result.otherText = fromB ? a : b;
        }
        const StampedSection &winner = fromB ? b : a;
        Sync::CopyGroup(merged.record, winner.record, group);
        // Both sides' values are seen, those no stamp told as well: merged
        // again with either side, the merge is where it stands.
        merged.stamp.see(Sync::ChangeOf(a.stamp, a.record, group));
        merged.stamp.see(Sync::ChangeOf(b.stamp, b.record, group));
        merged.stamp.groups[size_t(index)] = Sync::GroupStamp{Sync::ChangeOf(winner.stamp, winner.record, group),
                                                              Sync::GroupDigest(winner.record, group)};
        if (group == Sync::Text)
            result.textFromB = fromB;
    }
    if (isNote)
        bringBackIfChanged(result, a, b);
    return result;
}

MergedVersions MergeVersions(std::span<const VersionSections> inputs)
{
    MergedVersions result;
    if (inputs.empty())
        return result;
    // One order whatever the order given: the inputs' own contents.
    std::vector<std::string> keys;
    for (const VersionSections &input : inputs)
        keys.push_back(CanonicalFile(input, {}));
    std::vector<size_t> order(inputs.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return keys[x] < keys[y]; });

    struct Fork
    {
        size_t section;
        StampedSection note;
        size_t input;
        std::int64_t seenByWinner; // of the machine that changed the text
    };
    std::vector<Fork> forks;
    VersionSections &merged = result.sections;
    std::array<size_t, SectionCount> textFrom {};
    merged = inputs[order[0]];
    textFrom.fill(order[0]);
    for (size_t n = 1; n < order.size(); ++n) {
        const size_t input = order[n];
        for (size_t i = 0; i < SectionCount; ++i) {
            const std::optional<StampedSection> &theirs = inputs[input][i];
            if (!theirs)
                continue;
            if (!merged[i]) {
                merged[i] = theirs;
                textFrom[i] = input;
                continue;
            }
            SectionMerge step = MergeSection(*merged[i], *theirs, i != 0);
            if (step.otherText) {
                const StampedSection &winner = step.textFromB ? *theirs : *merged[i];
                const Sync::Dot change = Sync::ChangeOf(step.otherText->stamp, step.otherText->record, Sync::Text);
                forks.push_back({i, *step.otherText, step.textFromB ? textFrom[i] : input,
                                 winner.stamp.seenOf(change.machine)});
            }
            if (step.textFromB)
                textFrom[i] = input;
            merged[i] = std::move(step.merged);
        }
    }

    std::array<bool, SectionCount> taken {};
    for (const Fork &fork : forks) {
        size_t slot = 1;
        while (slot < SectionCount && (taken[slot] || (merged[slot] && merged[slot]->record.SIYOU == 1)))
            ++slot;
        const Sync::Dot change = Sync::ChangeOf(fork.note.stamp, fork.note.record, Sync::Text);
        if (slot == SectionCount) {
            result.unplaced.push_back({fork.input, fork.section, fork.note.record});
            // Not counted as seen, so the text is still news when its version
            // is merged again.
            Sync::Stamp &stamp = merged[fork.section]->stamp;
            auto at = std::find_if(stamp.seen.begin(), stamp.seen.end(),
                                   [&](const Sync::Dot &dot) { return dot.machine == change.machine; });
            if (at != stamp.seen.end() && at->time >= change.time) {
                if (fork.seenByWinner < 0)
                    stamp.seen.erase(at);
                else
                    at->time = std::max(fork.seenByWinner, change.time - 1);
            }
            continue;
        }
        taken[slot] = true;
        StampedSection note = fork.note;
        note.record.SIYOU = 1;
        note.record.POJIX = int(std::clamp<qint64>(qint64(note.record.POJIX) + MergedNoteOffsetTwips, INT_MIN, INT_MAX));
        note.record.POJIY = int(std::clamp<qint64>(qint64(note.record.POJIY) + MergedNoteOffsetTwips, INT_MIN, INT_MAX));
        const Sync::Dot made = mintedChange("text " + std::to_string(fork.section) + ' ' + Sync::FormatStamp(fork.note.stamp)
                                                    + ' ' + std::to_string(Sync::GroupDigest(fork.note.record, Sync::Text)),
                                            std::max<std::int64_t>(change.time, 1));
        Sync::Stamp stamp;
        // The slot's earlier note, thrown away, is seen: it must not come back.
        if (merged[slot])
            stamp.seen = merged[slot]->stamp.seen;
        stamp.see(made);
        for (int group = 0; group < Sync::GroupCount; ++group)
            stamp.groups[size_t(group)] = Sync::GroupStamp{made, Sync::GroupDigest(note.record, Group(group))};
        stamp.crossing = fork.note.stamp.crossing;
        note.stamp = std::move(stamp);
        merged[slot] = std::move(note);
    }
    return result;
}

std::string CanonicalFile(const VersionSections &sections, std::span<const std::string_view> around)
{
    static const std::array<std::string_view, 14> keys = {
        SettingsKey::SIYOU, SettingsKey::B_Color, SettingsKey::POJIX, SettingsKey::POJIY,
        SettingsKey::YOKO, SettingsKey::TATE, SettingsKey::ALARM, SettingsKey::A_TIME,
        SettingsKey::NAIYOU, SettingsKey::FName, SettingsKey::FSize, SettingsKey::FBold,
        SettingsKey::FItalic, Sync::Key,
    };
    const auto &names = SectionNames();
    std::set<std::string> preambles;
    std::set<std::string> others;
    std::array<std::set<std::string>, SectionCount> lines;
    for (const std::string_view file : around) {
        ProfileFile::Extras extras = ProfileFile::extras(file, names, keys);
        if (!extras.preamble.empty())
            preambles.insert(std::move(extras.preamble));
        for (auto &[index, text] : extras.sectionLines)
            lines[index].insert(std::move(text));
        for (std::string &other : extras.otherSections)
            others.insert(std::move(other));
    }
    std::array<const std::string *, SectionCount> texts {};
    size_t size = 0;
    for (const std::string &preamble : preambles)
        size += preamble.size();
    for (size_t i = 0; i < SectionCount; ++i) {
        if (sections[i])
            size += (texts[i] = &sectionText(i, *sections[i]))->size();
        for (const std::string &text : lines[i])
            size += text.size();
    }
    for (const std::string &other : others)
        size += other.size();
    std::string content;
    content.reserve(size);
    for (const std::string &preamble : preambles)
        content += preamble;
    for (size_t i = 0; i < SectionCount; ++i) {
        if (!sections[i])
            continue;
        content += *texts[i];
        for (const std::string &text : lines[i])
            content += text;
    }
    for (const std::string &other : others)
        content += other;
    return content;
}

MergedFiles MergeFiles(std::span<const std::string_view> files)
{
    std::vector<VersionSections> inputs;
    for (const std::string_view file : files)
        inputs.push_back(SectionsOf(file));
    MergedVersions merged = MergeVersions(inputs);
    return {CanonicalFile(merged.sections, files), std::move(merged.unplaced)};
}
