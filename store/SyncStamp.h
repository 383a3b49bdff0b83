// SPDX-License-Identifier: MIT
#pragma once

#include "store/NoteSettings.h"

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Who changed what in a section, and what each version has seen, kept in the
// section itself under the key SYNC. Two versions of the file made on two
// machines are then merged note by note from the files alone: a change one
// version has seen and the other made later is no conflict, and only changes
// neither has seen of the other are. Readers that do not know the key pass it
// by, and so do the values it leaves alone.
namespace Sync {

inline constexpr const char *Key = "SYNC";

// The parts of a note that change together: a drag moves the place, the edit
// screen's OK sets the text, look and alarm, a ring sets the alarm.
enum Group { Slot, Text, Look, Alarm, Place, GroupCount };

// The keys of each part, in key order.
using Field = std::variant<qint32 NoteSettings::*, QString NoteSettings::*>;
const std::vector<Field> &FieldsOf(Group group);
// `to` with `from`'s values of the part.
void CopyGroup(NoteSettings &to, const NoteSettings &from, Group group);

// One change: the machine that made it, and when, in milliseconds since the
// epoch by that machine's clock; a machine never gives two changes one time.
struct Dot
{
    std::string machine;
    std::int64_t time = 0;
    bool operator==(const Dot &) const = default;
};
// The later of two changes: by time, then by machine, so that every machine
// orders any two alike.
bool IsLater(const Dot &a, const Dot &b);

struct GroupStamp
{
    Dot change;
    std::uint32_t digest = 0; // of the values the change left
    bool operator==(const GroupStamp &) const = default;
};

// The alarm crossing a note last rang for, or was stopped at, anywhere: its
// local date and minute as yyyyMMddhhmm. A ring and its stop are one
// crossing; stopped is the later state of it.
struct AlarmCrossing
{
    std::int64_t minute = 0;
    bool stopped = false;
    auto operator<=>(const AlarmCrossing &) const = default;
};

struct Stamp
{
    // Per machine, the latest of its changes this version has seen; sorted.
    std::vector<Dot> seen;
    // The change that gave each group its values; none where unknown: a file
    // from before stamps, or values another program wrote.
    std::array<std::optional<GroupStamp>, GroupCount> groups;
    AlarmCrossing crossing;

    bool operator==(const Stamp &) const = default;
    bool empty() const;
    std::int64_t seenOf(std::string_view machine) const;
    bool hasSeen(const Dot &dot) const { return seenOf(dot.machine) >= dot.time; }
    void see(const Dot &dot);
    void seeAll(const Stamp &other);
    // Whether this version has seen every change `other` has.
    bool covers(const Stamp &other) const;
};

std::uint32_t GroupDigest(const NoteSettings &record, Group group);
// The change that gave `record` its values of `group`, as the stamp tells
// it; where it does not (a file from before stamps, values another program
// wrote), a change named after the values alone, at time 0, which every
// machine that had those values names alike.
Dot ChangeOf(const Stamp &stamp, const NoteSettings &record, Group group);
// Whether the stamp tells the change that gave `record` its values.
bool IsKnown(const Stamp &stamp, const NoteSettings &record, Group group);

// The SYNC value, and back; a value that cannot be read is no stamp at all.
std::string FormatStamp(const Stamp &stamp);
Stamp ParseStamp(std::string_view text);

// The stamp of `record` saved over `priorRecord` stamped `prior`: each group
// whose values differ is `change`'s; the changes that gave the others their
// values are seen, so that a file from before stamps, read on two machines,
// is their common ancestor. Nothing differs: `prior` as it is.
Stamp Restamp(const Stamp &prior, const NoteSettings &priorRecord, const NoteSettings &record, const Dot &change);

// Whether `text` is a machine name a machine gives itself: eight of 0-9a-z.
bool IsMachineName(std::string_view text);

}
