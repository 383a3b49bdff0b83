// SPDX-License-Identifier: MIT
#include "store/Cp932.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>

namespace {

constexpr char16_t Nakaguro = u'・';

bool isAscii(std::string_view bytes)
{
    for (unsigned char c : bytes) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

bool isLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// iconv_open is costly and the tick decodes at every round, so each thread
// keeps one descriptor per direction for its life: a descriptor holds its
// conversion state, and the writer thread encodes while the screen's decodes.
class Converter
{
public:
    Converter(const char *to, const char *from) : m_cd(iconv_open(to, from)) { }
    ~Converter()
    {
        if (m_cd != invalid())
            iconv_close(m_cd);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    bool isValid() const { return m_cd != invalid(); }

    // Converts as much as it can; returns the number of input bytes consumed.
    size_t convert(const char *in, size_t inLength, std::string &out)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char *inPtr = const_cast<char *>(in);
        size_t inLeft = inLength;
        char buffer[512];
        while (inLeft > 0) {
            char *outPtr = buffer;
            size_t outLeft = sizeof buffer;
            const size_t result = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, outPtr - buffer);
            if (result == size_t(-1) && errno != E2BIG)
                break;
        }
        return inLength - inLeft;
    }

private:
    static iconv_t invalid() { return reinterpret_cast<iconv_t>(-1); }
    iconv_t m_cd;
};

Converter &toUtf8()
{
    thread_local Converter converter("UTF-8", "CP932");
    return converter;
}

Converter &fromUtf8()
{
    thread_local Converter converter("CP932", "UTF-8");
    return converter;
}

// iconv spends about a thousand instructions on each byte. A note of 60 KiB
// would cost milliseconds at every conversion, so long texts go through
// tables that iconv itself fills once (some 3 ms to decode, 8 ms to encode):
// the same characters, the same "・" and "?", shared by every thread. Short
// texts, most of a file, are cheaper through iconv than the tables' making.
constexpr size_t TableFromBytes = 4096;

// Every CP932 character as iconv decodes it; 0 where it decodes none.
struct DecodeTable
{
    std::array<char16_t, 256> single {};
    std::array<char16_t, 256 * 256> pair {};
};

const DecodeTable &decodeTable()
{
    static const DecodeTable *table = [] {
        auto *made = new DecodeTable;
        iconv_t cd = iconv_open("UTF-16LE", "CP932");
        const auto decodeOne = [cd](const char *bytes, size_t length) -> char16_t {
            char16_t out[2] = {};
            char *in = const_cast<char *>(bytes);
            char *to = reinterpret_cast<char *>(out);
            size_t inLeft = length;
            size_t outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            const bool whole = iconv(cd, &in, &inLeft, &to, &outLeft) != size_t(-1) && inLeft == 0
                    && outLeft == sizeof out - sizeof(char16_t);
            return whole ? out[0] : char16_t(0);
        };
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            for (int byte = 0x80; byte <= 0xFF; ++byte) {
                const char one = char(byte);
                made->single[size_t(byte)] = decodeOne(&one, 1);
            }
            for (int lead = 0x81; lead <= 0xFC; ++lead) {
                if (!isLeadByte(static_cast<unsigned char>(lead)))
                    continue;
                for (int trail = 0x40; trail <= 0xFC; ++trail) {
                    const char two[2] = {char(lead), char(trail)};
                    if (isTrailByte(static_cast<unsigned char>(trail)))
                        made->pair[size_t(lead * 256 + trail)] = decodeOne(two, 2);
                }
            }
            iconv_close(cd);
        }
        for (int byte = 0; byte < 0x80; ++byte)
            made->single[size_t(byte)] = char16_t(byte);
        return made;
    }();
    return *table;
}

// Every BMP character's CP932 bytes as iconv encodes it: one byte, or the
// lead byte times 256 plus the trail byte; 0 where it has none (U+0000 is
// the byte 0).
const std::array<std::uint16_t, 65536> &encodeTable()
{
    static const std::array<std::uint16_t, 65536> *table = [] {
        auto *made = new std::array<std::uint16_t, 65536>{};
        iconv_t cd = iconv_open("CP932", "UTF-16LE");
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            for (std::uint32_t code = 0x80; code < 0x10000; ++code) {
                if (code >= 0xD800 && code < 0xE000)
                    continue;
                const char16_t unit = char16_t(code);
                unsigned char out[4] = {};
                char *in = const_cast<char *>(reinterpret_cast<const char *>(&unit));
                char *to = reinterpret_cast<char *>(out);
                size_t inLeft = sizeof unit;
                size_t outLeft = sizeof out;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                if (iconv(cd, &in, &inLeft, &to, &outLeft) == size_t(-1) || inLeft != 0)
                    continue;
                const size_t length = sizeof out - outLeft;
                if (length == 1)
                    (*made)[code] = out[0];
                else if (length == 2)
                    (*made)[code] = std::uint16_t(out[0] * 256 + out[1]);
            }
            iconv_close(cd);
        }
        for (std::uint32_t code = 0; code < 0x80; ++code)
            (*made)[code] = std::uint16_t(code);
        return made;
    }();
    return *table;
}

QString decodeByTable(std::string_view bytes)
{
    const DecodeTable &table = decodeTable();
    QString text;
    text.reserve(qsizetype(bytes.size()));
    for (size_t pos = 0; pos < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[pos]);
        if (c < 0x80 || table.single[c]) {
            text += QChar(table.single[c]);
            ++pos;
            continue;
        }
        const bool pair = isLeadByte(c) && pos + 1 < bytes.size() && isTrailByte(static_cast<unsigned char>(bytes[pos + 1]));
        const char16_t decoded = pair ? table.pair[size_t(c) * 256 + static_cast<unsigned char>(bytes[pos + 1])] : 0;
        // An invalid or unassigned sequence: one "・" for a lead byte with its
        // trail byte, or for a lone byte, as through iconv.
        text += QChar(decoded ? decoded : Nakaguro);
        pos += pair ? 2 : 1;
    }
    return text;
}

// `unencodable` counts the characters CP932 has no form for ("?").
std::string encodeByTable(const QString &text, size_t *unencodable = nullptr)
{
    const std::array<std::uint16_t, 65536> &table = encodeTable();
    std::string out;
    out.reserve(size_t(text.size()) * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        std::uint16_t code = 0;
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()))
            ++i; // beyond the BMP: no CP932 form
        else if (!QChar::isSurrogate(unit))
            code = table[unit];
        if (unit == 0) {
            out += '\0';
        } else if (code == 0) {
            out += '?';
            if (unencodable)
                ++*unencodable;
        } else if (code > 0xFF) {
            out += char(code >> 8);
            out += char(code & 0xFF);
        } else {
            out += char(code);
        }
    }
    return out;
}

}

namespace Cp932 {

QString decode(std::string_view bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    if (bytes.size() >= TableFromBytes)
        return decodeByTable(bytes);

    Converter &converter = toUtf8();
    QString text;
    std::string utf8;
    size_t pos = 0;
    while (pos < bytes.size()) {
        utf8.clear();
        const size_t used = converter.isValid()
                ? converter.convert(bytes.data() + pos, bytes.size() - pos, utf8)
                : 0;
        text += QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        pos += used;
        if (pos >= bytes.size())
            break;
        // An invalid or unassigned sequence: one "・" for a lead byte with its
        // trail byte, or for a lone byte.
        const auto c = static_cast<unsigned char>(bytes[pos]);
        const bool pair = isLeadByte(c) && pos + 1 < bytes.size()
                && isTrailByte(static_cast<unsigned char>(bytes[pos + 1]));
        text += QChar(Nakaguro);
        pos += pair ? 2 : 1;
    }
    return text;
}

std::string encode(const QString &text)
{
    if (size_t(text.size()) * 2 >= TableFromBytes)
        return encodeByTable(text);
    const QByteArray utf8 = text.toUtf8();
    std::string_view bytes(utf8.constData(), size_t(utf8.size()));
    if (isAscii(bytes))
        return std::string(bytes);

    Converter &converter = fromUtf8();
    std::string out;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t used = converter.isValid()
                ? converter.convert(bytes.data() + pos, bytes.size() - pos, out)
                : 0;
        pos += used;
        if (pos >= bytes.size())
            break;
        // Skip the whole UTF-8 sequence of the character that has no CP932 form.
        out += '?';
        ++pos;
        while (pos < bytes.size() && (static_cast<unsigned char>(bytes[pos]) & 0xC0) == 0x80)
            ++pos;
    }
    return out;
}

bool canEncode(const QString &text)
{
    if (size_t(text.size()) * 2 >= TableFromBytes) {
        size_t unencodable = 0;
        encodeByTable(text, &unencodable);
        return unencodable == 0;
    }
    const QByteArray utf8 = text.toUtf8();
    std::string_view bytes(utf8.constData(), size_t(utf8.size()));
    if (isAscii(bytes))
        return true;
    Converter &converter = fromUtf8();
    std::string out;
    return converter.isValid() && converter.convert(bytes.data(), bytes.size(), out) == bytes.size();
}

}
