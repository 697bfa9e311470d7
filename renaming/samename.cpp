#include "samename.h"

#include <QFile>

namespace renaming {

namespace {
char16_t upper(char16_t unit)
{
    if (QChar::isSurrogate(unit))
        return unit;
    const char32_t mapped = QChar::toUpper(char32_t(unit));
    return mapped > 0xffff ? unit : char16_t(mapped);
}

char asciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}
} // namespace

bool sameNameIgnoringCase(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && upper(a[i].unicode()) != upper(b[i].unicode()))
            return false;
    return true;
}

bool sameNameIgnoringCase(QByteArrayView a, QByteArrayView b)
{
    for (qsizetype i = 0;; ++i) {
        if (i == a.size() || i == b.size())
            return a.size() == b.size();
        if ((a[i] | b[i]) & 0x80) // from here on, not plain ASCII
            return sameNameIgnoringCase(QFile::decodeName(a.sliced(i).toByteArray()),
                                        QFile::decodeName(b.sliced(i).toByteArray()));
        if (asciiUpper(a[i]) != asciiUpper(b[i]))
            return false;
    }
}

} // namespace renaming
