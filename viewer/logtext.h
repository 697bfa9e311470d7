#pragma once

#include <QByteArray>
#include <QString>

namespace viewer {

// The log's lines, each ended by CR LF. A line ends at a CR, and an LF right
// after it belongs to that end; any other LF is part of its line. The last
// line needs no end of its own, and no bytes hold no lines.
QByteArray withCrLfLineEnds(QByteArray bytes);

// Log bytes as text. On Windows in the ANSI code page; elsewhere as UTF-8
// when the whole log is valid UTF-8, else as Windows-1252, the game's code
// page, so that no byte is dropped or turned into a replacement mark.
QString decodeLog(QByteArrayView bytes);

// What the log text box holds after loading these bytes.
QString logText(QByteArray bytes);

// The log text box's value as its document is filled: a line feed that ends
// no line is kept inside its line as a line separator.
QString toDocumentText(QString text);

// toDocumentText(logText(bytes)), in one pass over the bytes where the log is
// in a single-byte code page, each line end there a CR alone: what a Refresh
// fills the log text box with.
QString logDocumentText(QByteArray bytes);

} // namespace viewer
