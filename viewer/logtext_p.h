#pragma once

#include "logtext.h"

// What the log text's shared part and its per-platform decoding share.
namespace viewer {

constexpr char CR = '\r';
constexpr char LF = '\n';
constexpr char16_t LineSeparator = QChar::LineSeparator;

// What the line ends of a log add to it: a LF after every lone CR, and a CR LF
// after an open last line; and how many of them are CR LF already.
struct LineEnds {
    qsizetype loneCrs = 0;
    qsizetype crLfs = 0;
    bool lastLineOpen = false;
};
LineEnds countLineEnds(QByteArrayView bytes);

} // namespace viewer
