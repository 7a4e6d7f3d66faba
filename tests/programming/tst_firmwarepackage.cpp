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
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("app/firmware")));
        m_temporary = m_dir->path() + QStringLiteral("/app/firmware/tmp.bin");
    }

    void cleanup() { m_dir.reset(); }

    void recognisesAndUnwraps_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("error");
        QTest::addColumn<QByteArray>("image"); // unwrapped when error is NoError
        const QByteArray small = PackageBuilder::payload(300, 1);
        // Crosses the 4096-byte buffer several times, not on a block boundary.
        const QByteArray large = PackageBuilder::payload(3 * 4096 + 517, 2);
        using FP = FirmwarePackage;
        const auto row = [](const char* name, const QByteArray& file, int error, const QByteArray& image = {}) {
            QTest::newRow(name) << file << error << image;
        };
        const auto pkg = [](const QByteArray& payload, quint32 f, qint64 length = -1, const char* tail = "") {
            Options o = flags(f);
            o.lengthField = length;
            o.afterPayload = tail;
            return PackageBuilder::package(payload, o);
        };
        Options bad = flags(0x1);
        bad.badCrc = true;
        row("empty file", QByteArray(), FP::TooShort);
        row("7 bytes with the magic", hex("41 54 00 00 00 00 00"), FP::TooShort);
        row("plain image", small, FP::MagicMismatch);
        row("magic low byte only", hex("41 00 00 00 00 00 00 00 AA"), FP::MagicMismatch);
        row("flags 0, header only", pkg({}, 0), FP::NoError);
        row("flags 0, n bytes are the payload", pkg(small, 0), FP::NoError, small);
        row("unknown flag bits ignored", pkg(small, 0xFFFFFFF0u), FP::NoError, small);
        row("CRC flag, 9 bytes", hex("41 54 00 00 01 00 00 00 FF"), FP::CrcOrLengthFailure);
        row("CRC flag, 10 bytes, CRC of nothing", hex("41 54 00 00 01 00 00 00 FF FF"), FP::NoError);
        row("CRC flag, 10 bytes, wrong CRC", hex("41 54 00 00 01 00 00 00 FF FE"), FP::CrcOrLengthFailure);
        row("CRC good: trailer not in the image", pkg(small, 0x1), FP::NoError, small);
        row("CRC good, large", pkg(large, 0x1), FP::NoError, large);
        row("CRC good, other bits set", pkg(small, 0x80000001u), FP::NoError, small);
        row("CRC bad", PackageBuilder::package(small, bad), FP::CrcOrLengthFailure);
        // Stored 01 00 00 00 is length 0; stored 01 is 00 and stored 00 is FF.
        row("scrambled bytes decrease by one", hex("41 54 00 00 02 00 00 00  05 01 01 01  00 01 02 FF"), FP::NoError,
            hex("FF 00 01 FE"));
        row("scrambled, large", pkg(large, 0x2), FP::NoError, large);
        row("scrambled, bytes behind the payload ignored", pkg(small, 0x2, -1, "ignored tail"), FP::NoError, small);
        row("scrambled with CRC over the stored bytes", pkg(large, 0x3, -1, "xy"), FP::NoError, large);
        // The length field is part of the check: an overrun fails it as a CRC
        // does, also where with the trailer it reaches into the CRC.
        row("scrambled, length one beyond the body", pkg(small, 0x2, small.size() + 1), FP::CrcOrLengthFailure);
        row("scrambled, length reaching into the trailer", pkg(small, 0x3, small.size() + 1), FP::CrcOrLengthFailure);
        row("scrambled, length 0xFFFFFFFF", pkg(small, 0x2, 0xFFFFFFFFLL), FP::CrcOrLengthFailure);
        row("scrambled, body shorter than the length field", hex("41 54 00 00 02 00 00 00 01 01 01"),
            FP::CrcOrLengthFailure);
        row("scrambled with CRC, no room for the length field", hex("41 54 00 00 03 00 00 00 FF FF"),
            FP::CrcOrLengthFailure);
    }
    void recognisesAndUnwraps()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, error);
        QFETCH(QByteArray, image);
        FirmwarePackage package(writeInput(file));
        QCOMPARE(int(package.error()), error);
        QCOMPARE(package.extractTo(m_temporary), error == FirmwarePackage::NoError);
        // Nothing half-written is left for the caller to send.
        QCOMPARE(QFile::exists(m_temporary), error == FirmwarePackage::NoError);
        if (error == FirmwarePackage::NoError)
            QCOMPARE(PackageBuilder::read(m_temporary), image);
    }

    void failedUnwrapKeepsThePreviousImage()
    {
        FirmwarePackage missing(m_dir->path() + QStringLiteral("/no such file.bin"));
        QCOMPARE(int(missing.error()), int(FirmwarePackage::CannotOpen));
        QVERIFY(!missing.extractTo(m_temporary));
        FirmwarePackage folder(m_dir->path());
        QVERIFY(folder.error() != FirmwarePackage::NoError);
        QVERIFY(!folder.extractTo(m_temporary));
        QVERIFY(!QFile::exists(m_temporary));
        QVERIFY(PackageBuilder::write(m_temporary, "previous image"));
        Options overrun = flags(0x2);
        overrun.lengthField = 1000;
        FirmwarePackage package(writeInput(PackageBuilder::package(QByteArray(10, 'x'), overrun)));
        QVERIFY(!package.extractTo(m_temporary));
        QCOMPARE(PackageBuilder::read(m_temporary), QByteArray("previous image"));
        QCOMPARE(QDir(QFileInfo(m_temporary).absolutePath()).entryList(QDir::Files), QStringList { "tmp.bin" });
    }

    void pathsInAnyCharacters_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("base");
        QTest::newRow("non-Latin") << QStringLiteral("Прошивка 固件 ü.bin") << QStringLiteral("工具/Netquill ä");
        QTest::newRow("punctuation") << QStringLiteral("#1 %20 & 'x' [a] {b} ;,=+!@$.bin") << QStringLiteral("a#b%c&d");
        QTest::newRow("backslash and colon") << QStringLiteral("a\\b:c.bin") << QStringLiteral("x:y\\z");
    }
    void pathsInAnyCharacters()
    {
        QFETCH(QString, name);
        QFETCH(QString, base);
        // No firmware folder under it yet: the unwrap creates it.
        const QString baseDir = m_dir->path() + QLatin1Char('/') + base;
        QVERIFY(QDir().mkpath(baseDir));
        const QByteArray payload = PackageBuilder::payload(4500, 9);
        FirmwarePackage package(writeInput(PackageBuilder::package(payload, flags(0x3)), name));
        QCOMPARE(int(package.error()), int(FirmwarePackage::NoError));
        QVERIFY(package.extractTo(baseDir + QStringLiteral("/firmware/tmp.bin")));
        QCOMPARE(PackageBuilder::read(baseDir + QStringLiteral("/firmware/tmp.bin")), payload);
    }

    void temporaryImageIsRecognisedByFullPath_data()
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
    void temporaryImageIsRecognisedByFullPath()
    {
        QFETCH(QString, path);
        QFETCH(bool, temporary);
        path.replace(QStringLiteral("{app}"), m_dir->path() + QStringLiteral("/app"));
        path.replace(QStringLiteral("{dir}"), m_dir->path());
        QCOMPARE(FirmwarePackage::isTemporaryImage(path, m_temporary), temporary);
        // A build-tree run unwraps beside the executable.
        QCOMPARE(FirmwarePackage::temporaryImagePath(), QCoreApplication::applicationDirPath() + "/firmware/tmp.bin");
    }

private:
    QString writeInput(const QByteArray& bytes, const QString& name = QStringLiteral("image.bin"))
    {
        const QString path = m_dir->path() + QLatin1Char('/') + name;
        return PackageBuilder::write(path, bytes) ? path : QString();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_temporary; // the temporary image a page would unwrap to
};

QTEST_GUILESS_MAIN(TestFirmwarePackage)
#include "tst_firmwarepackage.moc"
