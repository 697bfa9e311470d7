#include "levelfiles.h"

#include <QTest>

// A level file's name as typed, and the message of its rename.
class TestLevelFiles : public QObject {
    Q_OBJECT
private slots:
    void messages_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("ok") << "2131" << 0 << "Rename levl2131.DAT to levl2001.DAT OK";
        QTest::newRow("53") << "" << 53
                            << "Rename levl.DAT to levl2001.DAT Failed - From file not found";
        QTest::newRow("58") << " 1 " << 58
                            << "Rename levl 1 .DAT to levl2001.DAT Failed - To file already exists";
        QTest::newRow("other") << QString::fromUtf8("Ab/../日本") << 75
                               << QString::fromUtf8(
                                      "Rename levlAb/../日本.DAT to levl2001.DAT Failed 75");
        QTest::newRow("negative") << "1" << -5 << "Rename levl1.DAT to levl2001.DAT Failed -5";
    }
    void messages()
    {
        QFETCH(QString, number);
        QFETCH(int, code);
        QTEST(
            renaming::renameMessage(renaming::levelFileName(number, ".DAT"), "levl2001.DAT", code),
            "message");
    }
};

QTEST_GUILESS_MAIN(TestLevelFiles)
#include "tst_levelfiles.moc"
