#include "logtext_p.h"

#include <cstring>

namespace viewer {

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
            *p = LineSeparator;
    }
    return text;
}

} // namespace viewer
