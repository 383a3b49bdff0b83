// SPDX-License-Identifier: MIT
#include "store/ProfileFile.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {

struct Line
{
    size_t begin;
    size_t end;  // one past the last byte before the line's terminator
    size_t next; // start of the following line
};

Line lineAt(std::string_view content, size_t begin)
{
    size_t end = begin;
    const size_t size = content.size();
    while (end < size && content[end] != '\n' && content[end] != '\r')
        ++end;
    size_t next = end;
    if (next < size) {
        if (content[next] == '\r' && next + 1 < size && content[next + 1] == '\n')
            next += 2;
        else
            next += 1;
    }
    return {begin, end, next};
}

// Older editors leave VT, FF and a Ctrl-Z end-of-file mark around values.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a';
}

// A CP932 lead byte takes the next byte with it, which may look like "]".
bool isLeadByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::string_view trimmed(std::string_view text)
{
    size_t first = 0;
    while (first < text.size() && isBlank(text[first]))
        ++first;
    size_t last = text.size();
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

char foldCase(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    }
    return true;
}

// A number written by hand as "1" or '1' is still a number.
std::string_view unquoted(std::string_view value)
{
    if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\''))
        return trimmed(value.substr(1, value.size() - 2));
    return value;
}

std::optional<std::string_view> headerName(std::string_view line)
{
    size_t pos = 0;
    while (pos < line.size() && isBlank(line[pos]))
        ++pos;
    if (pos == line.size() || line[pos] != '[')
        return std::nullopt;
    size_t close = std::string_view::npos;
    for (size_t i = pos + 1; i < line.size(); ++i) {
        if (isLeadByte(line[i]))
            ++i;
        else if (line[i] == ']')
            close = i;
    }
    if (close == std::string_view::npos)
        return std::nullopt;
    return trimmed(line.substr(pos + 1, close - pos - 1));
}

struct KeyLine
{
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line)
{
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    std::string_view value = line.substr(equals + 1);
    const size_t nul = value.find('\0');
    if (nul != std::string_view::npos)
        value = value.substr(0, nul);
    return KeyLine{trimmed(line.substr(0, equals)), trimmed(value)};
}

// Where the first section of a name lies: its header line and the start of
// the next header (or the end of the file).
struct SectionSpan
{
    size_t bodyBegin;
    size_t end;
};

std::optional<SectionSpan> findSection(std::string_view content, std::string_view section)
{
    std::optional<SectionSpan> found;
    for (size_t pos = 0; pos < content.size();) {
        const Line line = lineAt(content, pos);
        if (const auto name = headerName(content.substr(line.begin, line.end - line.begin))) {
            if (found) {
                found->end = line.begin;
                return found;
            }
            if (sameName(*name, section))
                found = SectionSpan{line.next, content.size()};
        }
        pos = line.next;
    }
    return found;
}

bool endsWithLineBreak(std::string_view content, size_t end)
{
    return end == 0 || content[end - 1] == '\n' || content[end - 1] == '\r';
}

void appendLine(std::string &out, std::string_view key, std::string_view value)
{
    out.append(key);
    out += '=';
    out.append(value);
    out += "\r\n";
}

}

namespace ProfileFile {

void readSection(std::string_view content, std::string_view section,
                 std::span<const std::string_view> keys, std::span<Value> values)
{
    const auto span = findSection(content, section);
    if (!span) {
        for (Value &value : values)
            value.reset();
        return;
    }
    readBody(content, Body{span->bodyBegin, span->end}, keys, values);
}

void readBody(std::string_view content, Body body, std::span<const std::string_view> keys, std::span<Value> values)
{
    for (Value &value : values)
        value.reset();
    size_t missing = keys.size();
    for (size_t pos = body.begin; pos < body.end && missing > 0;) {
        const Line line = lineAt(content, pos);
        pos = line.next;
        const auto entry = keyLine(content.substr(line.begin, line.end - line.begin));
        if (!entry)
            continue;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (!values[i] && sameName(entry->key, keys[i])) {
                values[i] = entry->value;
                --missing;
                break;
            }
        }
    }
}

std::vector<std::optional<Body>> findSections(std::string_view content, std::span<const std::string_view> sections)
{
    std::vector<std::optional<Body>> bodies(sections.size());
    std::optional<Body> *open = nullptr;
    for (size_t pos = 0; pos < content.size();) {
        const Line line = lineAt(content, pos);
        if (const auto name = headerName(content.substr(line.begin, line.end - line.begin))) {
            if (open)
                (*open)->end = line.begin;
            open = nullptr;
            for (size_t i = 0; i < sections.size(); ++i) {
                if (!bodies[i] && sameName(*name, sections[i])) {
                    bodies[i] = Body{line.next, content.size()};
                    open = &bodies[i];
                    break;
                }
            }
        }
        pos = line.next;
    }
    return bodies;
}

std::string withValues(std::string_view content, std::string_view section,
                       std::span<const Assignment> assignments)
{
    std::string out;
    out.reserve(content.size() + 64 * assignments.size() + section.size() + 8);

    const auto span = findSection(content, section);
    if (!span) {
        out.append(content);
        if (!endsWithLineBreak(content, content.size()))
            out += "\r\n";
        out += '[';
        out.append(section);
        out += "]\r\n";
        for (const auto &[key, value] : assignments)
            appendLine(out, key, value);
        return out;
    }

    std::vector<bool> written(assignments.size(), false);
    size_t copied = 0;
    for (size_t pos = span->bodyBegin; pos < span->end;) {
        const Line line = lineAt(content, pos);
        pos = line.next;
        const auto entry = keyLine(content.substr(line.begin, line.end - line.begin));
        if (!entry)
            continue;
        for (size_t i = 0; i < assignments.size(); ++i) {
            if (!written[i] && sameName(entry->key, assignments[i].first)) {
                // The first key of a name is rewritten, keeping its spelling;
                // later duplicates are neither read nor written.
                out.append(content.substr(copied, line.begin - copied));
                appendLine(out, entry->key, assignments[i].second);
                copied = line.next;
                written[i] = true;
                break;
            }
        }
    }
    out.append(content.substr(copied, span->end - copied));
    bool first = true;
    for (size_t i = 0; i < assignments.size(); ++i) {
        if (written[i])
            continue;
        if (first && !endsWithLineBreak(out, out.size()))
            out += "\r\n";
        first = false;
        appendLine(out, assignments[i].first, assignments[i].second);
    }
    out.append(content.substr(span->end));
    return out;
}

int toInt(Value value, int fallback)
{
    if (!value)
        return fallback;
    const std::string_view text = unquoted(*value);
    if (text.empty())
        return fallback;
    size_t pos = 0;
    bool negative = false;
    if (text[pos] == '-' || text[pos] == '+') {
        negative = text[pos] == '-';
        ++pos;
    }
    long long number = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        number = number * 10 + (text[pos] - '0');
        if (number > 1LL + INT_MAX)
            number = 1LL + INT_MAX;
    }
    if (negative)
        number = -number;
    return int(std::clamp<long long>(number, INT_MIN, INT_MAX));
}

std::string fromInt(int number)
{
    return number < 0 ? std::to_string(number) : ' ' + std::to_string(number);
}

bool holdsAnySection(std::string_view content, std::span<const std::string_view> sections)
{
    for (size_t pos = 0; pos < content.size();) {
        const Line line = lineAt(content, pos);
        if (const auto name = headerName(content.substr(line.begin, line.end - line.begin))) {
            for (const std::string_view section : sections) {
                if (sameName(*name, section))
                    return true;
            }
        }
        pos = line.next;
    }
    return false;
}

Extras extras(std::string_view content, std::span<const std::string_view> sections,
              std::span<const std::string_view> keys)
{
    Extras found;
    std::vector<bool> seen(sections.size(), false);
    std::string *block = &found.preamble;
    std::string lines; // of the section being read, when it is one of ours
    std::optional<size_t> ours;
    const auto endSection = [&] {
        if (ours && !lines.empty())
            found.sectionLines.emplace_back(*ours, std::move(lines));
        lines.clear();
        ours.reset();
    };
    for (size_t pos = 0; pos < content.size();) {
        const Line line = lineAt(content, pos);
        pos = line.next;
        const std::string_view text = content.substr(line.begin, line.end - line.begin);
        if (const auto name = headerName(text)) {
            endSection();
            const auto at = std::find_if(sections.begin(), sections.end(),
                                         [&](std::string_view section) { return sameName(*name, section); });
            const size_t index = size_t(at - sections.begin());
            if (at != sections.end() && !seen[index]) {
                seen[index] = true;
                ours = index;
                block = &lines;
                continue;
            }
            found.otherSections.emplace_back();
            block = &found.otherSections.back();
        } else if (trimmed(text).empty()) {
            continue;
        } else if (ours) {
            const auto entry = keyLine(text);
            if (entry && std::any_of(keys.begin(), keys.end(), [&](std::string_view key) { return sameName(entry->key, key); }))
                continue;
        }
        block->append(text);
        block->append("\r\n");
    }
    endSection();
    return found;
}

}
