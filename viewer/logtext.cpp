#include "logtext.h"

#include <QStringDecoder>
#include <cstring>

namespace viewer {

namespace {
constexpr char CR = '\r';
constexpr char LF = '\n';
constexpr QChar LineSeparator = QChar(QChar::LineSeparator);

// What the line ends of a log add to it: a LF after every lone CR, and a CR LF
// after an open last line; and how many of them are CR LF already.
struct LineEnds {
    qsizetype loneCrs = 0;
    qsizetype crLfs = 0;
    bool lastLineOpen = false;
};

LineEnds countLineEnds(QByteArrayView bytes)
{
    LineEnds ends;
    const qsizetype size = bytes.size();
    if (size == 0)
        return ends;
    const char *begin = bytes.data();
    const char *end = begin + size;
    for (const char *p = begin; (p = static_cast<const char *>(std::memchr(p, CR, end - p)));) {
        // Line ends come in runs where lines are empty: count the run here.
        while (p < end && *p == CR) {
            if (p + 1 < end && p[1] == LF) {
                ++ends.crLfs;
                p += 2;
            } else {
                ++ends.loneCrs;
                ++p;
            }
        }
    }
    ends.lastLineOpen = end[-1] != CR && !(size >= 2 && end[-2] == CR && end[-1] == LF);
    return ends;
}

#ifndef _WIN32
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
            *out++ = LineSeparator.unicode();
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
#endif
} // namespace

QByteArray withCrLfLineEnds(QByteArray bytes)
{
    const qsizetype size = bytes.size();
    if (size == 0)
        return bytes;
    const char *begin = bytes.constData();
    const char *end = begin + size;

    const auto [loneCrs, crLfs, lastLineOpen] = countLineEnds(bytes);
    if (loneCrs == 0 && !lastLineOpen)
        return bytes;

    QByteArray out(size + loneCrs + (lastLineOpen ? 2 : 0), Qt::Uninitialized);
    char *o = out.data();
    const char *p = begin;
    while (p < end) {
        const char *cr = static_cast<const char *>(std::memchr(p, CR, end - p));
        const char *stop = cr ? cr + 1 : end;
        std::memcpy(o, p, stop - p);
        o += stop - p;
        p = stop;
        if (cr && (p == end || *p != LF))
            *o++ = LF;
    }
    if (lastLineOpen) {
        *o++ = CR;
        *o++ = LF;
    }
    return out;
}

QString decodeLog(QByteArrayView bytes)
{
#ifdef _WIN32
    QStringDecoder ansi(QStringConverter::System, QStringConverter::Flag::ConvertInitialBom);
    return ansi.decode(bytes);
#else
    if (!bytes.isValidUtf8())
        return decodeCp1252(bytes);
    // A byte-order mark is not recognised: it stays part of the first line.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return utf8.decode(bytes);
#endif
}

QString logText(QByteArray bytes)
{
    return decodeLog(withCrLfLineEnds(std::move(bytes)));
}

QString toDocumentText(QString text)
{
    char16_t *begin = reinterpret_cast<char16_t *>(text.data());
    char16_t *end = begin + text.size();
    for (char16_t *p = begin; p != end; ++p) {
        if (*p == u'\n' && (p == begin || p[-1] != u'\r'))
            *p = LineSeparator.unicode();
    }
    return text;
}

QString logDocumentText(QByteArray bytes)
{
#ifndef _WIN32
    if (!holdsHighBytes(bytes) || !QByteArrayView(bytes).isValidUtf8())
        return singleByteDocumentText(bytes);
#endif
    return toDocumentText(logText(std::move(bytes)));
}

} // namespace viewer
