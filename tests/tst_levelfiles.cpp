#include "levelfiles.h"

#include <QTest>

// A level file's name as typed, and the message of its rename.
class TestLevelFiles : public QObject {
    Q_OBJECT
private slots:
    void messages()
    {
        const auto message = [](const QString &number, int code) {
            return renaming::renameMessage(renaming::levelFileName(number, ".DAT"), "levl2001.DAT",
                                           code);
        };
        QCOMPARE(
            QStringList({message("2131", 0), message("", 53), message(" 1 ", 58),
                         message(QString::fromUtf8("Ab/../日本"), 75), message("1", -5)}),
            QStringList({"Rename levl2131.DAT to levl2001.DAT OK",
                         "Rename levl.DAT to levl2001.DAT Failed - From file not found",
                         "Rename levl 1 .DAT to levl2001.DAT Failed - To file already exists",
                         QString::fromUtf8("Rename levlAb/../日本.DAT to levl2001.DAT Failed 75"),
                         "Rename levl1.DAT to levl2001.DAT Failed -5"}));
    }
};

QTEST_GUILESS_MAIN(TestLevelFiles)
#include "tst_levelfiles.moc"
