#include "logtextbox.h"

#include "logtext.h"

#include <QMimeData>
#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <vector>

namespace viewer {

namespace {
constexpr char16_t LineSeparator = QChar::LineSeparator;

enum class End { LineEnd, LineFeed, Nothing };

// What a paragraph's line breaks and its end stand for, kept in its block
// format: which line breaks stand for a line feed inside a line (a bit for
// each, in order, sixteen to a character; the others stand for a line end,
// CR LF), and what its end stands for (a line end unless set). The bits are a
// string, not a byte array: the document tells formats apart by a hash that
// sees a string's contents but only a byte array's type.
class ParagraphRecord {
public:
    static QTextBlockFormat encode(End end, const std::vector<int> &lineFeedBreaks, int breaks)
    {
        QTextBlockFormat format;
        if (end != End::LineEnd)
            format.setProperty(EndProperty, int(end));
        if (!lineFeedBreaks.empty()) {
            QString bits((breaks + 15) / 16, QChar(0));
            for (const int i : lineFeedBreaks)
                bits[i / 16] = QChar(bits[i / 16].unicode() | (1 << (i % 16)));
            format.setProperty(LineFeedsProperty, bits);
        }
        return format;
    }

    explicit ParagraphRecord(const QTextBlock &block)
        : lineFeeds_(block.blockFormat().property(LineFeedsProperty).toString()),
          end_(End(std::clamp(block.blockFormat().intProperty(EndProperty), 0, 2)))
    {}

    End end() const { return end_; }
    // What the paragraph's line break number `i`, and its end, stand for in the box's value.
    QStringView lineBreakText(qsizetype i) const
    {
        const bool lineFeed =
            i / 16 < lineFeeds_.size() && (lineFeeds_[i / 16].unicode() >> (i % 16)) & 1;
        return Text[lineFeed ? 1 : 0];
    }
    QStringView endText() const { return Text[int(end_)]; }

private:
    static constexpr int LineFeedsProperty = QTextFormat::UserProperty + 1;
    static constexpr int EndProperty = QTextFormat::UserProperty + 2;
    static constexpr QStringView Text[] = {u"\r\n", u"\n", u""};
    QString lineFeeds_;
    End end_;
};

bool isLineEnd(char16_t c)
{
    return c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator || c == 0xFDD0 ||
           c == 0xFDD1; // what the document would otherwise take for a paragraph end
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

// Cuts the box's raw text (line ends CR LF, a line feed inside a line as a line
// separator) into the box's paragraphs and appends them to a fresh document.
class ParagraphWriter {
public:
    ParagraphWriter(QTextDocument *document, bool packLines)
        : cursor_(document), packLines_(packLines)
    {
        text_.resize(LogTextBox::MaxParagraph + 256);
    }

    void write(QStringView raw)
    {
        const char16_t *p = reinterpret_cast<const char16_t *>(raw.utf16());
        const char16_t *end = p + raw.size();
        while (p < end) {
            const char16_t c = *p;
            if (isLineEnd(c)) {
                p += (c == u'\r' && p + 1 < end && p[1] == u'\n') ? 2 : 1;
                lineBreak(End::LineEnd);
            } else if (c == LineSeparator) {
                ++p;
                lineBreak(End::LineFeed);
            } else {
                while (cutsBefore(c))
                    cut();
                // The run of ordinary characters, up to the paragraph's limits.
                qsizetype size = size_;
                qsizetype word = wordStart_;
                const char16_t *q = p;
                do {
                    if (isBlank(*q))
                        word = size + 1;
                    ++q;
                    ++size;
                } while (q < end && *q != LineSeparator && !isLineEnd(*q) &&
                         size < LogTextBox::MaxParagraph && size - word < LogTextBox::MaxWord);
                append(p, q - p);
                wordStart_ = word;
                p = q;
            }
        }
        endParagraph(size_, End::LineEnd, size_);
    }

private:
    void append(const char16_t *chars, qsizetype count)
    {
        if (size_ + count > qsizetype(text_.size()))
            text_.resize(size_ + count + 256);
        std::copy_n(chars, count, text_.data() + size_);
        size_ += count;
    }

    // Whether `c` would make the paragraph too long, or its last word, by
    // more than `slack` characters.
    bool isFull(char16_t c, qsizetype slack = 0) const
    {
        return size_ >= LogTextBox::MaxParagraph + slack ||
               (!isBlank(c) && size_ - wordStart_ >= LogTextBox::MaxWord + slack);
    }

    // A cut never parts a surrogate pair, nor a mark from its letter unless
    // marks pile up far beyond any letter's.
    bool cutsBefore(char16_t c) const
    {
        if (QChar::isLowSurrogate(c))
            return false;
        return QChar::isMark(c) ? isFull(c, 64) : isFull(c);
    }

    // A line end or a line feed inside a line: a line break in the paragraph
    // while it is short (line ends only where lines are packed), else the
    // paragraph's end.
    void lineBreak(End kind)
    {
        if (size_ >= LogTextBox::PackedParagraph || (kind == End::LineEnd && !packLines_)) {
            endParagraph(size_, kind, size_);
            return;
        }
        lastBreak_ = size_;
        text_[size_++] = LineSeparator; // a short paragraph has room
        wordStart_ = size_;
        lastBreakIsLineFeed_ = kind == End::LineFeed;
        if (lastBreakIsLineFeed_)
            lineFeedBreaks_.push_back(breaks_);
        ++breaks_;
    }

    // The paragraph or its last word is full and the line goes on: end the
    // paragraph at its last line break, else before the last word, else here.
    void cut()
    {
        if (lastBreak_ >= 0) {
            --breaks_;
            if (lastBreakIsLineFeed_)
                lineFeedBreaks_.pop_back();
            endParagraph(lastBreak_, lastBreakIsLineFeed_ ? End::LineFeed : End::LineEnd,
                         lastBreak_ + 1);
        } else if (wordStart_ > 0) {
            endParagraph(wordStart_, End::Nothing, wordStart_);
        } else {
            endParagraph(size_, End::Nothing, size_);
        }
    }

    // Appends text_[0, length), which holds every line break gathered, as a
    // paragraph with the given end; the text from `rest` on, which holds none,
    // starts the next paragraph.
    void endParagraph(qsizetype length, End end, qsizetype rest)
    {
        const QTextBlockFormat format = ParagraphRecord::encode(end, lineFeedBreaks_, breaks_);
        if (first_)
            cursor_.setBlockFormat(format);
        else
            cursor_.insertBlock(format);
        first_ = false;
        cursor_.insertText(
            QString::fromRawData(reinterpret_cast<const QChar *>(text_.data()), length));
        std::copy(text_.data() + rest, text_.data() + size_, text_.data());
        size_ -= rest;
        wordStart_ = std::max<qsizetype>(0, wordStart_ - rest);
        lastBreak_ = -1;
        breaks_ = 0;
        lineFeedBreaks_.clear();
    }

    QTextCursor cursor_;
    const bool packLines_;
    std::vector<char16_t> text_; // the paragraph being gathered, its first size_
    qsizetype size_ = 0;
    qsizetype wordStart_ = 0;         // where its last word starts
    qsizetype lastBreak_ = -1;        // where its last line break is
    int breaks_ = 0;                  // how many line breaks it holds
    std::vector<int> lineFeedBreaks_; // which of them stand for a line feed
    bool lastBreakIsLineFeed_ = false;
    bool first_ = true; // the document's first paragraph is there already
};
} // namespace

LogTextBox::LogTextBox(QWidget *parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

QString LogTextBox::text() const
{
    QString text;
    text.reserve(document()->characterCount());
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const ParagraphRecord record(block);
        const QString paragraph = block.text();
        qsizetype from = 0;
        for (qsizetype at, i = 0; (at = paragraph.indexOf(QChar(LineSeparator), from)) >= 0;
             from = at + 1, ++i) {
            text += QStringView(paragraph).mid(from, at - from);
            text += record.lineBreakText(i);
        }
        text += QStringView(paragraph).mid(from);
        if (block.next().isValid())
            text += record.endText();
    }
    return text;
}

// A copy or a drag holds the selection with every line break a line feed, as
// the box's own would, and nothing where the box cut a long line.
QMimeData *LogTextBox::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    QString text;
    for (QTextBlock block = document()->findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        const int position = block.position();
        const int from = std::max(start - position, 0);
        const int to = std::min(end - position, block.length() - 1);
        text += QStringView(block.text()).mid(from, to - from);
        if (end - position > block.length() - 1 && ParagraphRecord(block).end() != End::Nothing)
            text += u'\n';
    }
    text.replace(QChar(LineSeparator), u'\n');
    auto *data = new QMimeData;
    data->setText(text);
    return data;
}

void LogTextBox::setText(QString text)
{
    fill(toDocumentText(std::move(text)));
}

void LogTextBox::setLog(QByteArray bytes)
{
    fill(logDocumentText(std::move(bytes)));
}

// Fills a new document and puts it in place of the old one only once it is
// whole, so that a log that does not fit leaves the box as it was.
void LogTextBox::fill(QString raw)
{
    QTextDocument *old = document();
    auto *document = new QTextDocument(this);
    try {
        document->setDocumentLayout(new QPlainTextDocumentLayout(document));
        document->setDefaultFont(old->defaultFont());
        document->setDefaultTextOption(old->defaultTextOption());
        document->setDocumentMargin(old->documentMargin());
        document->setUndoRedoEnabled(false);
        QTextCursor edit(document);
        edit.beginEditBlock();
        const bool packLines = std::count(raw.cbegin(), raw.cend(), u'\r') > PackedLines;
        ParagraphWriter(document, packLines).write(raw);
        raw = QString();
        edit.endEditBlock();
        document->setUndoRedoEnabled(true);
    } catch (...) {
        delete document;
        throw;
    }
    // The box's first document belongs to the box's text control, which
    // deletes it when it lets it go; the later ones are deleted here.
    const bool oldIsOurs = old->parent() == this;
    setDocument(document);
    if (oldIsOurs)
        delete old;
}

} // namespace viewer
