// FirmwarePackage on real files in temporary folders: recognising, checking
// and unwrapping packages, and the temporary image they unwrap into.

#include "packagebuilder.h"
#include "programming/firmwarepackage.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using PackageBuilder::Options;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

Options flags(quint32 f)
{
    Options o;
    o.flags = f;
    return o;
}

} // namespace

class TestFirmwarePackage : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recognisesAndUnwraps_data();
    void recognisesAndUnwraps();
    void fileThatCannotBeOpened();
    void failedUnwrapKeepsThePreviousImage();
    void pathsInAnyCharacters_data();
    void pathsInAnyCharacters();
    void temporaryImageIsRecognisedByFullPath_data();
    void temporaryImageIsRecognisedByFullPath();

private:
    QString writeInput(const QByteArray& bytes, const QString& name = QStringLiteral("image.bin"));

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_temporary; // the temporary image a page would unwrap to
};

void TestFirmwarePackage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("app/firmware")));
    m_temporary = m_dir->path() + QStringLiteral("/app/firmware/tmp.bin");
}

void TestFirmwarePackage::cleanup()
{
    m_dir.reset();
}

QString TestFirmwarePackage::writeInput(const QByteArray& bytes, const QString& name)
{
    const QString path = m_dir->path() + QLatin1Char('/') + name;
    if (!PackageBuilder::write(path, bytes))
        return QString();
    return path;
}

void TestFirmwarePackage::recognisesAndUnwraps_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("extracted");
    QTest::addColumn<QByteArray>("image");

    const QByteArray small = PackageBuilder::payload(300, 1);
    // Crosses the 4096-byte buffer several times, not on a block boundary.
    const QByteArray large = PackageBuilder::payload(3 * 4096 + 517, 2);
    using FP = FirmwarePackage;

    QTest::newRow("empty file") << QByteArray() << int(FP::TooShort) << false << QByteArray();
    QTest::newRow("7 bytes with the magic")
        << hex("41 54 00 00 00 00 00") << int(FP::TooShort) << false << QByteArray();
    QTest::newRow("plain image") << small << int(FP::MagicMismatch) << false << QByteArray();
    QTest::newRow("magic low byte only") << hex("41 00 00 00 00 00 00 00 AA") << int(FP::MagicMismatch) << false
                                         << QByteArray();

    QTest::newRow("flags 0, header only")
        << PackageBuilder::package(QByteArray()) << int(FP::NoError) << true << QByteArray();
    QTest::newRow("flags 0, n bytes are the payload")
        << PackageBuilder::package(small) << int(FP::NoError) << true << small;
    QTest::newRow("unknown flag bits ignored")
        << PackageBuilder::package(small, flags(0xFFFFFFF0u)) << int(FP::NoError) << true << small;

    QTest::newRow("CRC flag, 9 bytes") << hex("41 54 00 00 01 00 00 00 FF") << int(FP::CrcOrLengthFailure) << false
                                       << QByteArray();
    QTest::newRow("CRC flag, 10 bytes, CRC of nothing")
        << hex("41 54 00 00 01 00 00 00 FF FF") << int(FP::NoError) << true << QByteArray();
    QTest::newRow("CRC flag, 10 bytes, wrong CRC")
        << hex("41 54 00 00 01 00 00 00 FF FE") << int(FP::CrcOrLengthFailure) << false << QByteArray();
    QTest::newRow("CRC good: trailer not in the image")
        << PackageBuilder::package(small, flags(0x1)) << int(FP::NoError) << true << small;
    QTest::newRow("CRC good, large") << PackageBuilder::package(large, flags(0x1)) << int(FP::NoError) << true << large;
    QTest::newRow("CRC good, other bits set")
        << PackageBuilder::package(small, flags(0x80000001u)) << int(FP::NoError) << true << small;
    Options bad = flags(0x1);
    bad.badCrc = true;
    QTest::newRow("CRC bad") << PackageBuilder::package(small, bad) << int(FP::CrcOrLengthFailure) << false
                             << QByteArray();

    // Stored 01 00 00 00 is length 0; stored 01 is 00 and stored 00 is FF.
    QTest::newRow("scrambled bytes decrease by one")
        << hex("41 54 00 00 02 00 00 00  05 01 01 01  00 01 02 FF") << int(FP::NoError) << true << hex("FF 00 01 FE");
    QTest::newRow("scrambled, large") << PackageBuilder::package(large, flags(0x2)) << int(FP::NoError) << true
                                      << large;
    Options tail = flags(0x2);
    tail.afterPayload = QByteArray("ignored tail");
    QTest::newRow("scrambled, bytes behind the payload ignored")
        << PackageBuilder::package(small, tail) << int(FP::NoError) << true << small;
    Options scrambledCrc = flags(0x3);
    scrambledCrc.afterPayload = QByteArray("xy");
    QTest::newRow("scrambled with CRC over the stored bytes")
        << PackageBuilder::package(large, scrambledCrc) << int(FP::NoError) << true << large;
    // The length field is part of the check: an overrun fails it as a CRC does.
    Options overrun = flags(0x2);
    overrun.lengthField = small.size() + 1;
    QTest::newRow("scrambled, length one beyond the body")
        << PackageBuilder::package(small, overrun) << int(FP::CrcOrLengthFailure) << false << QByteArray();
    Options overrunCrc = flags(0x3);
    overrunCrc.lengthField = small.size() + 1;
    // With the trailer the length reaches into the CRC: still an overrun.
    QTest::newRow("scrambled, length reaching into the trailer")
        << PackageBuilder::package(small, overrunCrc) << int(FP::CrcOrLengthFailure) << false << QByteArray();
    Options huge = flags(0x2);
    huge.lengthField = 0xFFFFFFFFLL;
    QTest::newRow("scrambled, length 0xFFFFFFFF")
        << PackageBuilder::package(small, huge) << int(FP::CrcOrLengthFailure) << false << QByteArray();
    QTest::newRow("scrambled, body shorter than the length field")
        << hex("41 54 00 00 02 00 00 00 01 01 01") << int(FP::CrcOrLengthFailure) << false << QByteArray();
    QTest::newRow("scrambled with CRC, no room for the length field")
        << hex("41 54 00 00 03 00 00 00 FF FF") << int(FP::CrcOrLengthFailure) << false << QByteArray();
}

void TestFirmwarePackage::recognisesAndUnwraps()
{
    QFETCH(QByteArray, file);
    QFETCH(int, error);
    QFETCH(bool, extracted);
    QFETCH(QByteArray, image);

    const QString input = writeInput(file);
    QVERIFY(!input.isEmpty());
    const QString temporary = m_temporary;
    QVERIFY(!QFile::exists(temporary));

    FirmwarePackage package(input);
    QCOMPARE(int(package.error()), error);
    QCOMPARE(package.extractTo(m_temporary), extracted);
    if (extracted) {
        QVERIFY(QFile::exists(temporary));
        QCOMPARE(PackageBuilder::read(temporary), image);
    } else {
        // Nothing half-written is left for the caller to send.
        QVERIFY(!QFile::exists(temporary));
    }
}

void TestFirmwarePackage::fileThatCannotBeOpened()
{
    FirmwarePackage missing(m_dir->path() + QStringLiteral("/no such file.bin"));
    QCOMPARE(int(missing.error()), int(FirmwarePackage::CannotOpen));
    QVERIFY(!missing.extractTo(m_temporary));

    FirmwarePackage folder(m_dir->path());
    QVERIFY(folder.error() != FirmwarePackage::NoError);
    QVERIFY(!folder.extractTo(m_temporary));
    QVERIFY(!QFile::exists(m_temporary));
}

void TestFirmwarePackage::failedUnwrapKeepsThePreviousImage()
{
    const QString temporary = m_temporary;
    QVERIFY(PackageBuilder::write(temporary, "previous image"));
    Options overrun = flags(0x2);
    overrun.lengthField = 1000;
    FirmwarePackage package(writeInput(PackageBuilder::package(QByteArray(10, 'x'), overrun)));
    QVERIFY(!package.extractTo(m_temporary));
    QCOMPARE(PackageBuilder::read(temporary), QByteArray("previous image"));
    QCOMPARE(QDir(QFileInfo(temporary).absolutePath()).entryList(QDir::Files), QStringList { "tmp.bin" });
}

void TestFirmwarePackage::pathsInAnyCharacters_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("base");
    QTest::newRow("non-Latin") << QStringLiteral("Прошивка 固件 ü.bin") << QStringLiteral("工具/Netquill ä");
    QTest::newRow("punctuation") << QStringLiteral("#1 %20 & 'x' [a] {b} ;,=+!@$.bin") << QStringLiteral("a#b%c&d");
    QTest::newRow("backslash and colon") << QStringLiteral("a\\b:c.bin") << QStringLiteral("x:y\\z");
}

void TestFirmwarePackage::pathsInAnyCharacters()
{
    QFETCH(QString, name);
    QFETCH(QString, base);
    // No firmware folder under it yet: the unwrap creates it.
    const QString baseDir = m_dir->path() + QLatin1Char('/') + base;
    QVERIFY(QDir().mkpath(baseDir));

    const QByteArray payload = PackageBuilder::payload(4500, 9);
    const QString input = writeInput(PackageBuilder::package(payload, flags(0x3)), name);
    QVERIFY(!input.isEmpty());
    FirmwarePackage package(input);
    QCOMPARE(int(package.error()), int(FirmwarePackage::NoError));
    QVERIFY(package.extractTo(baseDir + QStringLiteral("/firmware/tmp.bin")));
    QCOMPARE(PackageBuilder::read(baseDir + QStringLiteral("/firmware/tmp.bin")), payload);
}

void TestFirmwarePackage::temporaryImageIsRecognisedByFullPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("temporary");
    QTest::newRow("the image itself") << QStringLiteral("{app}/firmware/tmp.bin") << true;
    QTest::newRow("same, with ./ and ..") << QStringLiteral("{app}/./firmware/../firmware/tmp.bin") << true;
    QTest::newRow("user file ending in tmp.bin") << QStringLiteral("{app}/firmware/mytmp.bin") << false;
    QTest::newRow("tmp.bin in another firmware folder") << QStringLiteral("{dir}/firmware/tmp.bin") << false;
    QTest::newRow("differs in case") << QStringLiteral("{app}/firmware/TMP.bin") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestFirmwarePackage::temporaryImageIsRecognisedByFullPath()
{
    QFETCH(QString, path);
    QFETCH(bool, temporary);
    path.replace(QStringLiteral("{app}"), m_dir->path() + QStringLiteral("/app"));
    path.replace(QStringLiteral("{dir}"), m_dir->path());
    QCOMPARE(FirmwarePackage::isTemporaryImage(path, m_temporary), temporary);
    // A build-tree run unwraps beside the executable.
    QCOMPARE(FirmwarePackage::temporaryImagePath(), QCoreApplication::applicationDirPath() + "/firmware/tmp.bin");
}

QTEST_GUILESS_MAIN(TestFirmwarePackage)
#include "tst_firmwarepackage.moc"
