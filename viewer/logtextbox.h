#pragma once

#include <QPlainTextEdit>

namespace viewer {

// The viewer's multi-line log text box. Its value is the log's text with
// every line ended by CR LF, exactly as loaded; each line shows on a line of
// its own, a line feed inside a line as a break within it, and long lines wrap
// at the box's width.
//
// The box lays out only the paragraphs it shows, each one whole, in a time
// that grows with the square of its longest word; and every paragraph costs
// memory of its own. So that no log, whatever its line structure, makes the
// box lay out megabytes at once or hold millions of paragraphs, a paragraph
// holds at most MaxParagraph characters and no word longer than MaxWord (a
// longer line goes on in the next paragraph, cut at a line break or before a
// word where it can), and in a log of more than PackedLines lines short
// lines share a paragraph, separated by line breaks, until it holds
// PackedParagraph characters (screen readers, which read a paragraph's end
// as a line end, see such a line break as it is). Each paragraph records what
// its line breaks and its end stand for, so that the value stays exact.
class LogTextBox : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr qsizetype MaxParagraph = 8192;
    static constexpr qsizetype MaxWord = 1024;
    static constexpr qsizetype PackedParagraph = 1024;
    static constexpr qsizetype PackedLines = 4096;

    explicit LogTextBox(QWidget *parent = nullptr);

    QString text() const;
    void setText(QString text);
    // Shows the log held in these bytes, as setText(logText(bytes)) does;
    // the bytes are let go before the box is filled. Throws std::bad_alloc,
    // keeping the text it had, when the log does not fit in memory.
    void setLog(QByteArray bytes);

protected:
    QMimeData *createMimeDataFromSelection() const override;

private:
    void fill(QString raw);
};

} // namespace viewer
