// SPDX-License-Identifier: MIT
#include "store/Cp932.h"

#include <iconv.h>

#include <cerrno>

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

}

namespace Cp932 {

QString decode(std::string_view bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));

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
    const QByteArray utf8 = text.toUtf8();
    std::string_view bytes(utf8.constData(), size_t(utf8.size()));
    if (isAscii(bytes))
        return true;
    Converter &converter = fromUtf8();
    std::string out;
    return converter.isValid() && converter.convert(bytes.data(), bytes.size(), out) == bytes.size();
}

}
