#include "levelfiles.h"

#include <QTest>

using namespace renaming;

class TestLevelFiles : public QObject {
    Q_OBJECT
private slots:
    void names_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "2131"
                               << ".DAT"
                               << "levl2131.DAT";
        QTest::newRow("empty number") << ""
                                      << ".HDR"
                                      << "levl.HDR";
        QTest::newRow("blanks kept") << " 12 "
                                     << ".VER"
                                     << "levl 12 .VER";
        QTest::newRow("no case change") << "Ab"
                                        << ".INF"
                                        << "levlAb.INF";
        QTest::newRow("separators kept") << "../x"
                                         << ".DAT"
                                         << "levl../x.DAT";
        QTest::newRow("unicode") << QString::fromUtf8("日本") << ".DAT"
                                 << QString::fromUtf8("levl日本.DAT");
    }
    void names()
    {
        QFETCH(QString, number);
        QFETCH(QString, extension);
        QTEST(levelFileName(number, extension), "name");
    }

    void messages_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("ok") << 0 << "Rename levl2131.DAT to levl2001.DAT OK";
        QTest::newRow("53") << 53
                            << "Rename levl2131.DAT to levl2001.DAT Failed - From file not found";
        QTest::newRow("58")
            << 58 << "Rename levl2131.DAT to levl2001.DAT Failed - To file already exists";
        QTest::newRow("other code in digits")
            << 75 << "Rename levl2131.DAT to levl2001.DAT Failed 75";
        QTest::newRow("negative") << -5 << "Rename levl2131.DAT to levl2001.DAT Failed -5";
    }
    void messages()
    {
        QFETCH(int, code);
        QTEST(renameMessage("levl2131.DAT", "levl2001.DAT", code), "message");
    }
};

QTEST_GUILESS_MAIN(TestLevelFiles)
#include "tst_levelfiles.moc"
