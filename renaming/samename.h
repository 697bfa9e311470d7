#pragma once

#include <QByteArrayView>
#include <QStringView>

namespace renaming {

// Whether two file names are the same name regardless of letter case, by the
// one rule the game's file names follow: Wine's, which compares names
// UTF-16 unit by unit, each in upper case by Unicode's simple one-to-one
// mapping ("é" is "É" and "ı" is "I", but "ß" is not "SS", nor the Kelvin
// sign "k"), units outside the Basic Multilingual Plane as they are. The
// renames, the case-only renames and the game search all use it; Windows
// applies the same rule by itself.
bool sameNameIgnoringCase(QStringView a, QStringView b);

// The same for names as the file system spells them (bytes in the locale's
// encoding, as Qt decodes file names): plain ASCII byte by byte, the rest
// decoded first.
bool sameNameIgnoringCase(QByteArrayView a, QByteArrayView b);

} // namespace renaming
