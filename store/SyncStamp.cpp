// SPDX-License-Identifier: MIT
#include "store/SyncStamp.h"

#include <algorithm>
#include <charconv>

namespace Sync {

namespace {

// The value's first word: a later format is read as no stamp, never misread.
constexpr std::string_view Format = "1";
constexpr std::array<char, GroupCount> GroupTags = {'s', 't', 'l', 'a', 'p'};
constexpr int TimeBase = 36;

class Digest
{
public:
    void add(std::int32_t number)
    {
        const std::string text = std::to_string(number);
        addBytes(text.data(), text.size());
    }
    void add(const QString &text)
    {
        addBytes(reinterpret_cast<const char *>(text.utf16()), size_t(text.size()) * 2);
    }
    std::uint32_t value() const { return m_hash; }

private:
    void addBytes(const char *bytes, size_t size)
    {
        for (size_t i = 0; i < size; ++i) {
            m_hash ^= static_cast<unsigned char>(bytes[i]);
            m_hash *= 16777619u;
        }
        // A separator, so that ("ab", "c") and ("a", "bc") differ.
        m_hash ^= 0xFFu;
        m_hash *= 16777619u;
    }
    std::uint32_t m_hash = 2166136261u;
};

bool isNameCharacter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
}

// A machine's own name, or one a merge gave a change it made: "~" and seven.
bool isAnyMachineName(std::string_view text)
{
    if (!text.empty() && text.front() == '~')
        text.remove_prefix(1);
    return !text.empty() && text.size() <= 8 && std::all_of(text.begin(), text.end(), isNameCharacter);
}

std::string timeText(std::int64_t time)
{
    std::array<char, 16> buffer {};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), time, TimeBase);
    return std::string(buffer.data(), result.ptr);
}

std::string hexText(std::uint32_t number)
{
    std::array<char, 8> buffer {};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), number, 16);
    return std::string(size_t(8 - (result.ptr - buffer.data())), '0') + std::string(buffer.data(), result.ptr);
}

template<typename Number>
bool readNumber(std::string_view text, Number &number, int base)
{
    if (text.empty())
        return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), number, base);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

std::optional<Dot> readDot(std::string_view machine, std::string_view time)
{
    Dot dot;
    if (!isAnyMachineName(machine) || !readNumber(time, dot.time, TimeBase) || dot.time < 0)
        return std::nullopt;
    dot.machine = std::string(machine);
    return dot;
}

// More machines than any user's computers and merges make: a hostile file's
// thousands would cost a long sort at every read.
constexpr size_t MostSeen = 256;

bool readSeen(std::string_view text, Stamp &stamp)
{
    const std::vector<std::string_view> entries = split(text, ',');
    if (entries.size() > MostSeen)
        return false;
    for (const std::string_view entry : entries) {
        const std::vector<std::string_view> parts = split(entry, '.');
        const std::optional<Dot> dot = parts.size() == 2 ? readDot(parts[0], parts[1]) : std::nullopt;
        if (!dot)
            return false;
        stamp.see(*dot);
    }
    return true;
}

bool readGroup(std::string_view text, std::optional<GroupStamp> &group)
{
    const std::vector<std::string_view> parts = split(text, '.');
    if (parts.size() != 3)
        return false;
    const std::optional<Dot> dot = readDot(parts[0], parts[1]);
    std::uint32_t digest = 0;
    if (!dot || parts[2].size() != 8 || !readNumber(parts[2], digest, 16))
        return false;
    group = GroupStamp{*dot, digest};
    return true;
}

bool readCrossing(std::string_view text, AlarmCrossing &crossing)
{
    crossing.stopped = !text.empty() && text.back() == 's';
    if (crossing.stopped)
        text.remove_suffix(1);
    return readNumber(text, crossing.minute, 10) && crossing.minute >= 0;
}

}

bool IsLater(const Dot &a, const Dot &b)
{
    return a.time != b.time ? a.time > b.time : a.machine > b.machine;
}

bool Stamp::empty() const
{
    return seen.empty() && std::none_of(groups.begin(), groups.end(), [](const auto &group) { return group; })
            && crossing == AlarmCrossing();
}

// Where the machine's entry is, or would go, in the sorted list.
template<typename Dots>
auto entryOf(Dots &seen, std::string_view machine)
{
    return std::lower_bound(seen.begin(), seen.end(), machine,
                            [](const Dot &dot, std::string_view name) { return std::string_view(dot.machine) < name; });
}

std::int64_t Stamp::seenOf(std::string_view machine) const
{
    const auto at = entryOf(seen, machine);
    return at != seen.end() && at->machine == machine ? at->time : -1;
}

void Stamp::see(const Dot &dot)
{
    const auto at = entryOf(seen, dot.machine);
    if (at != seen.end() && at->machine == dot.machine)
        at->time = std::max(at->time, dot.time);
    else
        seen.insert(at, dot);
}

void Stamp::seeAll(const Stamp &other)
{
    for (const Dot &dot : other.seen)
        see(dot);
}

bool Stamp::covers(const Stamp &other) const
{
    return std::all_of(other.seen.begin(), other.seen.end(), [this](const Dot &dot) { return hasSeen(dot); });
}

const std::vector<Field> &FieldsOf(Group group)
{
    static const std::array<std::vector<Field>, GroupCount> fields = {{
        {&NoteSettings::SIYOU},
        {&NoteSettings::NAIYOU},
        {&NoteSettings::B_Color, &NoteSettings::FName, &NoteSettings::FSize, &NoteSettings::FBold, &NoteSettings::FItalic},
        {&NoteSettings::ALARM, &NoteSettings::A_TIME},
        {&NoteSettings::POJIX, &NoteSettings::POJIY, &NoteSettings::YOKO, &NoteSettings::TATE},
    }};
    return fields[size_t(group)];
}

void CopyGroup(NoteSettings &to, const NoteSettings &from, Group group)
{
    for (const Field &field : FieldsOf(group))
        std::visit([&](auto member) { to.*member = from.*member; }, field);
}

std::uint32_t GroupDigest(const NoteSettings &record, Group group)
{
    Digest digest;
    for (const Field &field : FieldsOf(group))
        std::visit([&](auto member) { digest.add(record.*member); }, field);
    return digest.value();
}

Dot ChangeOf(const Stamp &stamp, const NoteSettings &record, Group group)
{
    const std::uint32_t digest = GroupDigest(record, group);
    const std::optional<GroupStamp> &known = stamp.groups[group];
    if (known && known->digest == digest)
        return known->change;
    return Dot{'~' + hexText(digest).substr(0, 7), 0};
}

bool IsKnown(const Stamp &stamp, const NoteSettings &record, Group group)
{
    const std::optional<GroupStamp> &known = stamp.groups[group];
    return known && known->digest == GroupDigest(record, group);
}

std::string FormatStamp(const Stamp &stamp)
{
    std::string text(Format);
    if (!stamp.seen.empty()) {
        text += " v=";
        for (size_t i = 0; i < stamp.seen.size(); ++i) {
            if (i > 0)
                text += ',';
            text += stamp.seen[i].machine + '.' + timeText(stamp.seen[i].time);
        }
    }
    for (int group = 0; group < GroupCount; ++group) {
        if (const std::optional<GroupStamp> &known = stamp.groups[size_t(group)]) {
            text += ' ';
            text += GroupTags[size_t(group)];
            text += '=' + known->change.machine + '.' + timeText(known->change.time) + '.' + hexText(known->digest);
        }
    }
    if (stamp.crossing.minute > 0)
        text += " r=" + std::to_string(stamp.crossing.minute) + (stamp.crossing.stopped ? "s" : "");
    return text;
}

Stamp ParseStamp(std::string_view text)
{
    Stamp stamp;
    const std::vector<std::string_view> words = split(text, ' ');
    if (words.empty() || words.front() != Format)
        return Stamp();
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string_view word = words[i];
        if (word.empty())
            continue;
        if (word.size() < 2 || word[1] != '=')
            return Stamp();
        const std::string_view value = word.substr(2);
        const auto tag = std::find(GroupTags.begin(), GroupTags.end(), word[0]);
        bool read = false;
        if (word[0] == 'v')
            read = readSeen(value, stamp);
        else if (word[0] == 'r')
            read = readCrossing(value, stamp.crossing);
        else if (tag != GroupTags.end())
            read = readGroup(value, stamp.groups[size_t(tag - GroupTags.begin())]);
        if (!read)
            return Stamp();
    }
    // A group's change is one its own version has seen.
    for (const std::optional<GroupStamp> &known : stamp.groups) {
        if (known)
            stamp.see(known->change);
    }
    return stamp;
}

Stamp Restamp(const Stamp &prior, const NoteSettings &priorRecord, const NoteSettings &record, const Dot &change)
{
    Stamp stamp = prior;
    bool changed = false;
    for (int group = 0; group < GroupCount; ++group) {
        const std::uint32_t before = GroupDigest(priorRecord, Group(group));
        const std::uint32_t digest = GroupDigest(record, Group(group));
        std::optional<GroupStamp> &known = stamp.groups[size_t(group)];
        if (!IsKnown(prior, priorRecord, Group(group))) {
            const Dot base = ChangeOf(prior, priorRecord, Group(group));
            stamp.see(base);
            known = GroupStamp{base, before};
        }
        if (digest != before) {
            known = GroupStamp{change, digest};
            changed = true;
        }
    }
    if (!changed)
        return prior;
    stamp.see(change);
    return stamp;
}

bool IsMachineName(std::string_view text)
{
    return text.size() == 8 && std::all_of(text.begin(), text.end(), isNameCharacter);
}

}
