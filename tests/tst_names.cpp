#include "levelfiles.h"
#include "samename.h"

#include <QFile>
#include <QTest>

// The names and messages of a rename, without a file or a window.
class TestNames : public QObject {
    Q_OBJECT
private slots:
    // Wine's rule: each UTF-16 unit in upper case by the simple mapping.
    void sameNameIgnoringCase_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QTest::newRow("ASCII") << "levl2131.dat"
                               << "LEVL2131.DAT" << true;
        QTest::newRow("one letter more") << "levl2131.DAT"
                                         << "levl2131.DATA" << false;
        QTest::newRow("accents") << "Vantorel Élite"
                                 << "VANTOREL élite" << true;
        QTest::newRow("dotless i is I") << "Quenmark"
                                        << "QUENMARK" << true;
        QTest::newRow("dotless i is i") << u"l\u0131vl"_qs << "LIVL" << true;
        QTest::newRow("sharp s is no SS") << u"Stra\u00dfe"_qs << "STRASSE" << false;
        QTest::newRow("Kelvin sign is no k") << u"\u212a"_qs << "k" << false;
        QTest::newRow("Greek final sigma") << u"\u03c2"_qs << u"\u03a3"_qs << true;
        QTest::newRow("beyond the plane, exact only")
            << u"\U00010428"_qs << u"\U00010400"_qs << false;
        QTest::newRow("a blank is no underscore") << "a b"
                                                  << "a_b" << false;
    }
    void sameNameIgnoringCase()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QCOMPARE(renaming::sameNameIgnoringCase(a, b), same);
        QCOMPARE(renaming::sameNameIgnoringCase(b, a), same);
#ifndef _WIN32 // where names are bytes: as the file system spells them, the same answer
        QCOMPARE(renaming::sameNameIgnoringCase(QByteArrayView(QFile::encodeName(a)),
                                                QByteArrayView(QFile::encodeName(b))),
                 same);
#endif
    }

    // "levl" + number + extension, exactly as typed; the message for a code.
    void messages_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("done") << "2131" << 0 << "Rename levl2131.DAT to levl2001.DAT OK";
        QTest::newRow("no source") << "2131" << 53
                                   << "Rename levl2131.DAT to levl2001.DAT Failed - From file "
                                      "not found";
        QTest::newRow("target there")
            << "2131" << 58
            << "Rename levl2131.DAT to levl2001.DAT Failed - To file already exists";
        QTest::newRow("another code, in digits")
            << "2131" << 70 << "Rename levl2131.DAT to levl2001.DAT Failed 70";
        QTest::newRow("blanks kept")
            << " 21 " << 53 << "Rename levl 21 .DAT to levl2001.DAT Failed - From file not found";
    }
    void messages()
    {
        QFETCH(QString, number);
        QFETCH(int, code);
        const QString from = renaming::levelFileName(number, ".DAT");
        QTEST(renaming::renameMessage(from, renaming::levelFileName("2001", ".DAT"),
                                      renaming::RenameCode(code)),
              "message");
    }
};

QTEST_GUILESS_MAIN(TestNames)
#include "tst_names.moc"
