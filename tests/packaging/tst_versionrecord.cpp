// Compiles the program file's version record with the MinGW resource compiler,
// has the same tool read the compiled resources back as a script, and checks
// what a file's properties show: strings, numbers, language and the one icon.
#include "appidentity.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString shortVersion()
{
    const auto version = windowing::ApplicationVersion;
    return QString::number(version.major) + u'.' +
           QString::number(version.minor).rightJustified(2, u'0');
}

QString licenceCopyrightLine()
{
    QFile file(QStringLiteral(VR_LICENSE_FILE));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("<no licence file>");
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1String("Copyright")))
            return line;
    }
    return QStringLiteral("<no copyright line>");
}

// The first capture of `pattern` in `text`, or a marker that fails any compare.
QString captured(const QString &text, const QString &pattern)
{
    const auto match = QRegularExpression(pattern).match(text);
    return match.hasMatch() ? match.captured(1) : QStringLiteral("<no match for %1>").arg(pattern);
}

} // namespace

class TestVersionRecord : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void strings_data();
    void strings();
    void numbers();
    void language();
    void icon();

private:
    bool windres(const QStringList &arguments);

    QString m_windres;
    // The compiled resources as the resource compiler reads them back.
    QString m_record;
};

bool TestVersionRecord::windres(const QStringList &arguments)
{
    QProcess run;
    run.start(m_windres, arguments);
    if (!run.waitForFinished(60000) || run.exitStatus() != QProcess::NormalExit ||
        run.exitCode() != 0) {
        qWarning("%s", run.readAllStandardError().constData());
        return false;
    }
    return true;
}

void TestVersionRecord::initTestCase()
{
    m_windres = QStandardPaths::findExecutable("x86_64-w64-mingw32-windres");
    if (m_windres.isEmpty())
        QSKIP("x86_64-w64-mingw32-windres not found: install binutils-mingw-w64-x86-64 "
              "(scripts/test does)");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString compiled = dir.filePath("vantorel-renamer.res");
    const QString readBack = dir.filePath("read-back.rc");
    // The host compiler preprocesses, so no MinGW compiler is needed.
    QVERIFY(windres({"--preprocessor=" VR_PREPROCESSOR, "--preprocessor-arg=-E",
                     "--preprocessor-arg=-xc", "--preprocessor-arg=-DRC_INVOKED", "-O", "res",
                     VR_VERSION_RECORD, compiled}));
    QVERIFY(windres({"-J", "res", "-O", "rc", compiled, readBack}));
    QFile file(readBack);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    m_record = QString::fromUtf8(file.readAll());
}

void TestVersionRecord::strings_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("company") << "CompanyName"
                             << "The Vantorel Renamer developers";
    QTest::newRow("description") << "FileDescription"
                                 << "Vantorel Renamer";
    QTest::newRow("file version") << "FileVersion" << shortVersion();
    QTest::newRow("internal name") << "InternalName"
                                   << "Vantorel Renamer";
    QTest::newRow("copyright as in the licence") << "LegalCopyright" << licenceCopyrightLine();
    QTest::newRow("file name") << "OriginalFilename"
                               << "Vantorel Renamer.exe";
    QTest::newRow("product name") << "ProductName"
                                  << "Vantorel Renamer";
    QTest::newRow("product version") << "ProductVersion" << shortVersion();
}

void TestVersionRecord::strings()
{
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(captured(m_record, QStringLiteral("\\n\\s*VALUE \"%1\", \"([^\"]*)\"").arg(key)),
             expected);
}

void TestVersionRecord::numbers()
{
    QCOMPARE(shortVersion(), QStringLiteral("1.00"));
    const auto version = windowing::ApplicationVersion;
    const QString four =
        QStringLiteral("%1, %2, %3, 0").arg(version.major).arg(version.minor).arg(version.revision);
    QCOMPARE(four, QStringLiteral("1, 0, 0, 0"));
    QCOMPARE(captured(m_record, "\\n\\s*FILEVERSION ([0-9, ]+)\\n"), four);
    QCOMPARE(captured(m_record, "\\n\\s*PRODUCTVERSION ([0-9, ]+)\\n"), four);
    // Not a debug, pre-release or patched build: the tool leaves out flags of 0.
    QVERIFY(!m_record.contains(QLatin1String("FILEFLAGS ")));
    QCOMPARE(captured(m_record, "\\n\\s*FILEOS (\\S+)\\n"), QStringLiteral("0x40004"));
    QCOMPARE(captured(m_record, "\\n\\s*FILETYPE (\\S+)\\n"), QStringLiteral("0x1")); // application
}

void TestVersionRecord::language()
{
    // One string table, for U.S. English in Unicode, and the translation
    // entry that names the same pair.
    QCOMPARE(m_record.count(QRegularExpression("BLOCK \"[0-9A-F]{8}\"")), 1);
    QVERIFY(m_record.contains(QLatin1String("BLOCK \"040904B0\"")));
    QCOMPARE(captured(m_record, "VALUE \"Translation\", ([^\\n]+)\\n"),
             QStringLiteral("0x409, 1200"));
    // Every resource is in that language: primary 9 (English), sub 1 (U.S.).
    const auto languages = QRegularExpression("\\nLANGUAGE ([^\\n]+)\\n").globalMatch(m_record);
    QVERIFY(languages.hasNext());
    for (auto it = languages; it.hasNext();)
        QCOMPARE(it.next().captured(1), QStringLiteral("9, 1"));
}

void TestVersionRecord::icon()
{
    // One icon group holding one 32 x 32 image of 256 colours (8 bits).
    QCOMPARE(m_record.count(QLatin1String("RT_GROUP_ICON")), 1);
    QCOMPARE(m_record.count(QRegularExpression("\\n1 3 /\\* RT_ICON \\*/")), 1);
    QVERIFY(m_record.contains(QLatin1String("Has 1 elements")));
    QCOMPARE(captured(m_record, "\\n\\s*\"([^\"]*)\", 1, 8, "),
             QStringLiteral("\\040\\040\\000\\000"));

    // It shows the same picture as the main window's icon.
    const QImage ico(QStringLiteral(VR_ICON_ICO));
    const QImage png(QStringLiteral(":/icons/vantorel-renamer.png"));
    QCOMPARE(ico.size(), QSize(32, 32));
    QCOMPARE(png.size(), QSize(32, 32));
    int mismatches = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb expected = png.pixel(x, y);
            const QRgb shown = ico.pixel(x, y);
            const bool transparent = qAlpha(shown) < 128;
            if (transparent != (qAlpha(expected) < 128) ||
                (!transparent && (shown | 0xFF000000) != (expected | 0xFF000000)))
                ++mismatches;
        }
    }
    QCOMPARE(mismatches, 0);
}

QTEST_GUILESS_MAIN(TestVersionRecord)
#include "tst_versionrecord.moc"
