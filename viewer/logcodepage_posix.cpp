#include "logtext_p.h"

#include <QStringDecoder>
#include <cstring>

namespace viewer {

namespace {
// Windows-1252 for 0x80..0x9F; the five bytes it leaves undefined map to the
// C1 controls of the same number, as Windows itself decodes them.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeCp1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = (b >= 0x80 && b < 0xA0) ? Cp1252High[b - 0x80] : char16_t(b);
    }
    return text;
}

bool holdsHighBytes(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const char *end = p + bytes.size();
    for (; end - p >= 8; p += 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ULL)
            return true;
    }
    for (; p < end; ++p) {
        if (static_cast<unsigned char>(*p) >= 0x80)
            return true;
    }
    return false;
}

// Any of the eight bytes of `word` that is CR, LF or 0x80 and above.
bool needsCare(quint64 word)
{
    constexpr quint64 Ones = 0x0101010101010101ULL;
    constexpr quint64 Highs = 0x8080808080808080ULL;
    const auto zeroByte = [](quint64 v) { return (v - Ones) & ~v & Highs; };
    return (word & Highs) || zeroByte(word ^ (Ones * CR)) || zeroByte(word ^ (Ones * LF));
}

// The document text of a log in a single-byte code page (ASCII or
// Windows-1252), built straight from the bytes: the line ends (each a lone
// CR, the least the log text box needs), the decoding and the line
// separators of toDocumentText in one pass and one allocation.
QString singleByteDocumentText(QByteArrayView bytes)
{
    const auto [loneCrs, crLfs, lastLineOpen] = countLineEnds(bytes);
    const qsizetype size = bytes.size();
    QString text(size - crLfs + (lastLineOpen ? 1 : 0), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + size;
    while (p < end) {
        if (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if (!needsCare(word)) {
                for (int i = 0; i < 8; ++i)
                    out[i] = p[i];
                out += 8;
                p += 8;
                continue;
            }
        }
        const unsigned char b = *p++;
        if (b == CR) {
            *out++ = u'\r';
            if (p < end && *p == LF)
                ++p;
        } else if (b == LF) {
            *out++ = LineSeparator;
        } else if (b >= 0x80 && b < 0xA0) {
            *out++ = Cp1252High[b - 0x80];
        } else {
            *out++ = b;
        }
    }
    if (lastLineOpen)
        *out++ = u'\r';
    return text;
}
} // namespace

QString decodeLog(QByteArrayView bytes)
{
    if (!bytes.isValidUtf8())
        return decodeCp1252(bytes);
    // A byte-order mark is not recognised: it stays part of the first line.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return utf8.decode(bytes);
}

QString logDocumentText(QByteArray bytes)
{
    if (!holdsHighBytes(bytes) || !QByteArrayView(bytes).isValidUtf8())
        return singleByteDocumentText(bytes);
    return toDocumentText(logText(std::move(bytes)));
}

} // namespace viewer
