#include "logtext.h"

#include <QRandomGenerator>
#include <QTest>

using namespace viewer;

// Windows reads logs in its ANSI code page (Windows-1252 under the tests'
// Wine); elsewhere valid UTF-8 is taken as such.
const bool AnsiCodePage = QSysInfo::kernelType() == "winnt";

class TestLogText : public QObject {
    Q_OBJECT
private slots:
    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero bytes") << QByteArray() << "";
        QTest::newRow("crlf, last line open") << QByteArray("a\r\nb") << "a\r\nb\r\n";
        QTest::newRow("crlf, last line ended") << QByteArray("a\r\nb\r\n") << "a\r\nb\r\n";
        QTest::newRow("empty line kept") << QByteArray("a\r\n\r\nb") << "a\r\n\r\nb\r\n";
        QTest::newRow("lone cr") << QByteArray("a\rb\r") << "a\r\nb\r\n";
        QTest::newRow("lone lf is part of its line") << QByteArray("a\nb\n") << "a\nb\n\r\n";
        QTest::newRow("cr cr lf") << QByteArray("a\r\r\nb") << "a\r\n\r\nb\r\n";
        QTest::newRow("lf cr") << QByteArray("a\n\rb") << "a\n\r\nb\r\n";
        QTest::newRow("only an end") << QByteArray("\r\n") << "\r\n";
        QTest::newRow("only a lone lf") << QByteArray("\n") << "\n\r\n";
        QTest::newRow("tab and nul kept")
            << QByteArray("a\tb\0c", 5) << QString("a\tb") + QChar(0) + "c\r\n";
        QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9")
                               << QString::fromUtf8(AnsiCodePage ? "cafÃ©\r\n" : "café\r\n");
        QTest::newRow("bom not recognised")
            << QByteArray("\xef\xbb\xbfx")
            << (AnsiCodePage ? QString::fromUtf8("ï»¿x\r\n") : QChar(0xFEFF) + QString("x\r\n"));
        QTest::newRow("invalid utf-8 is windows-1252")
            << QByteArray("caf\xe9 \x80\x96") << QString::fromUtf8("café €–\r\n");
        QTest::newRow("undefined windows-1252 bytes survive")
            << QByteArray("\x81\x8d\x8f\x90\x9d")
            << QString::fromUtf16(u"\x81\x8d\x8f\x90\x9d\r\n");
    }
    void lineEnds()
    {
        QFETCH(QByteArray, bytes);
        QTEST(logText(bytes), "text");
    }

    // Line ends and code-page bytes on and around the edges of the eight-byte
    // words the one-pass loader reads: it agrees with the line reader.
    void documentTextAsTheLineReaderHasIt()
    {
        static const char alphabet[] = {'a',    'z',    ' ',    '\r',   '\n',
                                        '\x80', '\x96', '\xe9', '\xc3', '\xa9'};
        QRandomGenerator random(20030704);
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes;
            const int size = random.bounded(40);
            // Any bytes, valid UTF-8, or one lone code-page byte among ASCII.
            for (int i = 0; i < size; ++i) {
                if (round % 3 == 0)
                    bytes += alphabet[random.bounded(10)];
                else if (round % 3 == 1 && random.bounded(8) == 0)
                    bytes += "\xc3\xa9";
                else
                    bytes += alphabet[random.bounded(5)];
            }
            if (round % 3 == 2 && size > 0)
                bytes[random.bounded(size)] = alphabet[5 + random.bounded(3)];
            if (logDocumentText(bytes).replace("\r\n", "\r") !=
                toDocumentText(logText(bytes)).replace("\r\n", "\r"))
                QFAIL(qPrintable("wrong document text for " + bytes.toHex(' ')));
        }
    }
};

QTEST_GUILESS_MAIN(TestLogText)
#include "tst_logtext.moc"
