// Compiles the program file's version record with the MinGW resource compiler
// and reads the compiled resources back: the strings and numbers a file's
// properties show, the language, and the one icon.
#include "appidentity.h"

#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

namespace {

constexpr quint16 IconType = 3;
constexpr quint16 GroupIconType = 14;
constexpr quint16 VersionType = 16;
constexpr quint16 UsEnglish = 0x0409;
constexpr quint16 UnicodeCodePage = 1200;

// Little-endian reads that fail, instead of running past the end, on
// truncated or malformed input.
class Reader {
public:
    explicit Reader(const QByteArray &data, qsizetype pos = 0) : m_data(data), m_pos(pos) {}

    bool ok() const { return m_ok; }
    qsizetype pos() const { return m_pos; }
    void seek(qsizetype pos)
    {
        if (pos < 0 || pos > m_data.size())
            m_ok = false;
        else
            m_pos = pos;
    }
    void alignFrom(qsizetype base) { seek(base + (m_pos - base + 3) / 4 * 4); }

    quint16 u16() { return quint16(take(2)); }
    quint32 u32() { return quint32(take(4)); }
    QByteArray bytes(qsizetype count)
    {
        if (count < 0 || m_pos + count > m_data.size()) {
            m_ok = false;
            return {};
        }
        m_pos += count;
        return m_data.mid(m_pos - count, count);
    }
    // A zero-terminated UTF-16 string.
    QString text()
    {
        QString result;
        while (m_ok) {
            const quint16 unit = u16();
            if (unit == 0)
                break;
            result.append(QChar(unit));
        }
        return result;
    }

private:
    quint64 take(int count)
    {
        if (m_pos + count > m_data.size()) {
            m_ok = false;
            return 0;
        }
        quint64 value = 0;
        for (int i = count - 1; i >= 0; --i)
            value = value << 8 | quint8(m_data[m_pos + i]);
        m_pos += count;
        return value;
    }

    QByteArray m_data;
    qsizetype m_pos;
    bool m_ok = true;
};

struct Resource {
    quint16 type;
    quint16 name;
    quint16 language;
    QByteArray data;
};

// The entries of a compiled resource file; names given as strings are not
// used by the version record and come back as 0.
std::optional<QList<Resource>> parseResources(const QByteArray &file)
{
    QList<Resource> result;
    Reader in(file);
    while (in.ok() && in.pos() < file.size()) {
        const qsizetype start = in.pos();
        const quint32 dataSize = in.u32();
        const quint32 headerSize = in.u32();
        auto id = [&in] {
            if (in.u16() == 0xFFFF)
                return in.u16();
            in.seek(in.pos() - 2);
            in.text();
            return quint16(0);
        };
        const quint16 type = id();
        const quint16 name = id();
        in.alignFrom(start);
        in.u32(); // data version
        in.u16(); // memory flags
        const quint16 language = in.u16();
        in.seek(start + headerSize);
        const QByteArray data = in.bytes(dataSize);
        in.alignFrom(start);
        if (!in.ok())
            return std::nullopt;
        if (type != 0) // the file's leading empty entry
            result.append({type, name, language, data});
    }
    return result;
}

// One block of a version record: a key, a value, and the blocks inside it.
struct Block {
    QString key;
    quint16 textValue = 0;
    QByteArray value;
    QList<Block> children;

    const Block *child(const QString &name) const
    {
        for (const Block &block : children)
            if (block.key == name)
                return &block;
        return nullptr;
    }
    QString text() const
    {
        QString result = QString::fromUtf16(reinterpret_cast<const char16_t *>(value.constData()),
                                            value.size() / 2);
        while (result.endsWith(QChar(0)))
            result.chop(1);
        return result;
    }
};

bool parseBlock(Reader &in, const qsizetype base, Block &block)
{
    const qsizetype start = in.pos();
    const quint16 length = in.u16();
    const quint16 valueLength = in.u16();
    block.textValue = in.u16();
    block.key = in.text();
    in.alignFrom(base);
    block.value = in.bytes(block.textValue ? valueLength * 2 : valueLength);
    in.alignFrom(base);
    const qsizetype end = start + length;
    while (in.ok() && in.pos() < end) {
        Block child;
        if (!parseBlock(in, base, child))
            return false;
        block.children.append(child);
        in.alignFrom(base);
    }
    return in.ok() && length >= 6 && in.pos() >= end;
}

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
    QList<Resource> ofType(quint16 type) const;
    const Block *stringTable() const;

    QList<Resource> m_resources;
    Block m_record;
};

void TestVersionRecord::initTestCase()
{
    const QString windres = QStandardPaths::findExecutable("x86_64-w64-mingw32-windres");
    if (windres.isEmpty())
        QSKIP("x86_64-w64-mingw32-windres not found: install binutils-mingw-w64-x86-64 "
              "(scripts/test does)");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString compiled = dir.filePath("vantorel-renamer.res");
    // The host compiler preprocesses, so no MinGW compiler is needed.
    QProcess windresRun;
    windresRun.start(windres, {"--preprocessor=" VR_PREPROCESSOR, "--preprocessor-arg=-E",
                               "--preprocessor-arg=-xc", "--preprocessor-arg=-DRC_INVOKED", "-O",
                               "res", VR_VERSION_RECORD, compiled});
    QVERIFY(windresRun.waitForFinished(60000));
    QVERIFY2(windresRun.exitStatus() == QProcess::NormalExit && windresRun.exitCode() == 0,
             windresRun.readAllStandardError().constData());

    QFile file(compiled);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const auto resources = parseResources(file.readAll());
    QVERIFY2(resources, "the compiled resource file is malformed");
    m_resources = *resources;

    const QList<Resource> versions = ofType(VersionType);
    QCOMPARE(versions.size(), 1);
    Reader in(versions[0].data);
    QVERIFY2(parseBlock(in, 0, m_record), "the version record is malformed");
    QCOMPARE(m_record.key, QStringLiteral("VS_VERSION_INFO"));
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

    const Block *table = stringTable();
    QVERIFY(table);
    const Block *entry = table->child(key);
    QVERIFY2(entry, qPrintable(key + " is missing"));
    QVERIFY(entry->textValue);
    QCOMPARE(entry->text(), expected);
}

void TestVersionRecord::numbers()
{
    QCOMPARE(shortVersion(), QStringLiteral("1.00"));

    // The fixed part: signature, then file and product version as two
    // 32-bit halves each, then flags, operating system and file type.
    Reader in(m_record.value);
    QCOMPARE(in.u32(), 0xFEEF04BDu);
    in.u32();
    const auto version = windowing::ApplicationVersion;
    const quint32 high = quint32(version.major) << 16 | quint32(version.minor);
    const quint32 low = quint32(version.revision) << 16;
    QCOMPARE(in.u32(), high);
    QCOMPARE(in.u32(), low);
    QCOMPARE(in.u32(), high);
    QCOMPARE(in.u32(), low);
    QCOMPARE(high, 0x00010000u);
    QCOMPARE(low, 0u);
    in.u32();                     // flags mask
    QCOMPARE(in.u32(), 0u);       // flags: not a debug, pre-release or patched build
    QCOMPARE(in.u32(), 0x40004u); // operating system
    QCOMPARE(in.u32(), 1u);       // application
    QVERIFY(in.ok());
}

void TestVersionRecord::language()
{
    const Block *strings = m_record.child("StringFileInfo");
    QVERIFY(strings);
    QCOMPARE(strings->children.size(), 1);
    QVERIFY(stringTable());

    const Block *vars = m_record.child("VarFileInfo");
    QVERIFY(vars);
    const Block *translation = vars->child("Translation");
    QVERIFY(translation);
    QCOMPARE(translation->value.size(), 4);
    Reader in(translation->value);
    QCOMPARE(in.u16(), UsEnglish);
    QCOMPARE(in.u16(), UnicodeCodePage);

    for (const Resource &resource : std::as_const(m_resources))
        QCOMPARE(resource.language, UsEnglish);
}

void TestVersionRecord::icon()
{
    const QList<Resource> groups = ofType(GroupIconType);
    QCOMPARE(groups.size(), 1);
    Reader group(groups[0].data);
    QCOMPARE(group.u16(), quint16(0));
    QCOMPARE(group.u16(), quint16(1)); // an icon, not a cursor
    QCOMPARE(group.u16(), quint16(1)); // one image
    const QByteArray size = group.bytes(4);
    QCOMPARE(quint8(size[0]), quint8(32));
    QCOMPARE(quint8(size[1]), quint8(32));
    QCOMPARE(quint8(size[2]), quint8(0)); // 0 stands for 256 colours
    group.u16();                          // planes
    QCOMPARE(group.u16(), quint16(8));    // bits per pixel
    group.u32();
    const quint16 imageId = group.u16();
    QVERIFY(group.ok());

    const QList<Resource> images = ofType(IconType);
    QCOMPARE(images.size(), 1);
    QCOMPARE(images[0].name, imageId);

    // The image is a 256-colour bitmap: header, palette, pixels bottom-up,
    // then a 1-bit mask in which a set bit means transparent.
    Reader bitmap(images[0].data);
    QCOMPARE(bitmap.u32(), 40u);
    QCOMPARE(bitmap.u32(), 32u);
    QCOMPARE(bitmap.u32(), 64u); // pixels and mask
    bitmap.u16();
    QCOMPARE(bitmap.u16(), quint16(8));
    QCOMPARE(bitmap.u32(), 0u); // uncompressed
    bitmap.seek(40);
    const QByteArray palette = bitmap.bytes(256 * 4);
    const QByteArray pixels = bitmap.bytes(32 * 32);
    const QByteArray mask = bitmap.bytes(32 * 4);
    QVERIFY(bitmap.ok());

    // It shows the same picture as the main window's icon.
    const QImage png(":/icons/vantorel-renamer.png");
    QCOMPARE(png.size(), QSize(32, 32));
    int mismatches = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const int row = 31 - y;
            const bool transparent = quint8(mask[row * 4 + x / 8]) & (0x80 >> (x % 8));
            const int index = quint8(pixels[row * 32 + x]);
            const QRgb expected = png.pixel(x, y);
            const QRgb shown = qRgb(quint8(palette[index * 4 + 2]), quint8(palette[index * 4 + 1]),
                                    quint8(palette[index * 4]));
            if (transparent != (qAlpha(expected) < 128) ||
                (!transparent && shown != (expected | 0xFF000000)))
                ++mismatches;
        }
    }
    QCOMPARE(mismatches, 0);
}

QList<Resource> TestVersionRecord::ofType(quint16 type) const
{
    QList<Resource> result;
    for (const Resource &resource : m_resources)
        if (resource.type == type)
            result.append(resource);
    return result;
}

const Block *TestVersionRecord::stringTable() const
{
    const Block *strings = m_record.child("StringFileInfo");
    return strings ? strings->child("040904B0") : nullptr;
}

QTEST_GUILESS_MAIN(TestVersionRecord)
#include "tst_versionrecord.moc"
