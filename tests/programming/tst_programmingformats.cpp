// What the programming tools read and write, on real files in a temporary
// folder: firmware packages and the temporary image they unwrap into, device
// lists (text, CSV, .xlsx written by real spreadsheet writers), a batch card's
// Detail text, the totals line, and the result report and CSV export.

#include "packagebuilder.h"
#include "programming/batchprogrammingthread.h"
#include "programming/batchreport.h"
#include "programming/batchtracker.h"
#include "programming/devicelist.h"
#include "programming/firmwarepackage.h"
#include "programming/programmingrun.h"
#include "programming/xlsxreader.h"

#include <QDir>
#include <QtTest>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

using Phase = BatchTracker::Phase;
using Thread = BatchProgrammingThread;
Q_DECLARE_METATYPE(BatchTracker::Card)
Q_DECLARE_METATYPE(BatchTracker::Totals)

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

} // namespace

class TestProgrammingFormats : public QObject {
    Q_OBJECT

    ProgrammingTest::Workspace m_dir;
    const QString m_temporary = m_dir.path(QStringLiteral("app/firmware/tmp.bin")); // where a page unwraps

private slots:
    void initTestCase() { QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("app/firmware"))); }
    void init() { QFile::remove(m_temporary); }

    void recognisesAndUnwraps_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("error");
        QTest::addColumn<QByteArray>("image"); // unwrapped when error is NoError
        const QByteArray small = PackageBuilder::payload(300, 1);
        // Crosses the 4096-byte buffer several times, not on a block boundary.
        const QByteArray large = PackageBuilder::payload(3 * 4096 + 517, 2);
        using FP = FirmwarePackage;
        using PackageBuilder::package;
        const auto row = [](const char* name, const QByteArray& file, int error, const QByteArray& image = {}) {
            QTest::newRow(name) << file << error << image;
        };
        row("empty file", QByteArray(), FP::TooShort);
        row("7 bytes with the magic", hex("41540000000000"), FP::TooShort);
        row("plain image", small, FP::MagicMismatch);
        row("magic low byte only", hex("41000000000000 00AA"), FP::MagicMismatch);
        row("flags 0, header only", package({}, 0), FP::NoError);
        row("flags 0, n bytes are the payload", package(small, 0), FP::NoError, small);
        row("unknown flag bits ignored", package(small, 0xFFFFFFF0u), FP::NoError, small);
        row("CRC flag, 9 bytes", hex("41540000 01000000 FF"), FP::CrcOrLengthFailure);
        row("CRC flag, 10 bytes, CRC of nothing", hex("41540000 01000000 FFFF"), FP::NoError);
        row("CRC flag, 10 bytes, wrong CRC", hex("41540000 01000000 FFFE"), FP::CrcOrLengthFailure);
        row("CRC good: trailer not in the image", package(small, 0x1), FP::NoError, small);
        row("CRC good, large", package(large, 0x1), FP::NoError, large);
        row("CRC good, other bits set", package(small, 0x80000001u), FP::NoError, small);
        row("CRC bad", package(small, 0x1, -1, {}, true), FP::CrcOrLengthFailure);
        // Stored 01 00 00 00 is length 0; stored 01 is 00 and stored 00 is FF.
        row("scrambled bytes decrease by one", hex("41540000 02000000 05010101 000102FF"), FP::NoError,
            hex("FF0001FE"));
        row("scrambled, large", package(large, 0x2), FP::NoError, large);
        row("scrambled, bytes behind the payload ignored", package(small, 0x2, -1, "ignored tail"), FP::NoError, small);
        row("scrambled with CRC over the stored bytes", package(large, 0x3, -1, "xy"), FP::NoError, large);
        // The length field is part of the check: an overrun fails it as a CRC
        // does, also where with the trailer it reaches into the CRC.
        row("scrambled, length one beyond the body", package(small, 0x2, small.size() + 1), FP::CrcOrLengthFailure);
        row("scrambled, length reaching into the trailer", package(small, 0x3, small.size() + 1),
            FP::CrcOrLengthFailure);
        row("scrambled, length 0xFFFFFFFF", package(small, 0x2, 0xFFFFFFFFLL), FP::CrcOrLengthFailure);
        row("scrambled, body shorter than the length field", hex("41540000 02000000 010101"), FP::CrcOrLengthFailure);
        row("scrambled with CRC, no room for the length field", hex("41540000 03000000 FFFF"), FP::CrcOrLengthFailure);
    }
    void recognisesAndUnwraps()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, error);
        QFETCH(QByteArray, image);
        FirmwarePackage package(m_dir.file(QStringLiteral("image.bin"), file));
        QCOMPARE(int(package.error()), error);
        QCOMPARE(package.extractTo(m_temporary), error == FirmwarePackage::NoError);
        // Nothing half-written is left for the caller to send.
        QCOMPARE(PackageBuilder::read(m_temporary), error == FirmwarePackage::NoError ? image : QByteArray());
        QCOMPARE(QFile::exists(m_temporary), error == FirmwarePackage::NoError);
    }

    void failedUnwrapKeepsThePreviousImage()
    {
        const QString missing = m_dir.path(QStringLiteral("no such file.bin"));
        QCOMPARE(int(FirmwarePackage(missing).error()), int(FirmwarePackage::CannotOpen));
        for (const QString& path : { missing, m_dir.path() })
            QVERIFY(!FirmwarePackage(path).extractTo(m_temporary));
        QVERIFY(!QFile::exists(m_temporary));
        QVERIFY(PackageBuilder::write(m_temporary, "previous image"));
        QVERIFY(!FirmwarePackage(m_dir.file("overrun.bin", PackageBuilder::package(QByteArray(10, 'x'), 0x2, 1000)))
                     .extractTo(m_temporary));
        QCOMPARE(PackageBuilder::read(m_temporary), QByteArray("previous image"));
        QCOMPARE(QDir(QFileInfo(m_temporary).absolutePath()).entryList(QDir::Files), QStringList { "tmp.bin" });
    }

    // No firmware folder under the base yet: the unwrap creates it.
    void pathsInAnyCharacters()
    {
        const QByteArray payload = PackageBuilder::payload(4500, 9);
        const QList<QPair<QString, QString>> paths { { "Прошивка 固件 ü.bin", "工具/Netquill ä" },
            { "#1 %20 & 'x' [a] {b} ;,=+!@$.bin", "a#b%c&d" }, { "a\\b:c.bin", "x:y\\z" } };
        for (const auto& [name, base] : paths) {
            const QString image = m_dir.path(base + QStringLiteral("/firmware/tmp.bin"));
            QVERIFY(QDir().mkpath(m_dir.path(base)));
            FirmwarePackage package(m_dir.file(name, PackageBuilder::package(payload, 0x3)));
            QCOMPARE(int(package.error()), int(FirmwarePackage::NoError));
            QVERIFY2(package.extractTo(image), qPrintable(name));
            QCOMPARE(PackageBuilder::read(image), payload);
        }
    }

    void temporaryImageIsRecognisedByFullPath()
    {
        const QString app = m_dir.path(QStringLiteral("app"));
        QCOMPARE(QList<bool>({ FirmwarePackage::isTemporaryImage(app + "/firmware/tmp.bin", m_temporary),
                     FirmwarePackage::isTemporaryImage(app + "/./firmware/../firmware/tmp.bin", m_temporary),
                     FirmwarePackage::isTemporaryImage(app + "/firmware/mytmp.bin", m_temporary),
                     FirmwarePackage::isTemporaryImage(m_dir.path("firmware/tmp.bin"), m_temporary),
                     FirmwarePackage::isTemporaryImage(app + "/firmware/TMP.bin", m_temporary),
                     FirmwarePackage::isTemporaryImage(QString(), m_temporary) }),
            QList<bool>({ true, true, false, false, false, false }));
        // A build-tree run unwraps beside the executable.
        QCOMPARE(FirmwarePackage::temporaryImagePath(), QCoreApplication::applicationDirPath() + "/firmware/tmp.bin");
    }

    void textFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("addresses");
        const int limit = DeviceList::kMaxLineBytes;
        // One address per line, at most one comma behind it; anything else is no address.
        QTest::newRow("csv") << QByteArray(
            "IP,\n10.0.0.1,\n  10.0.0.2 \t\n10.0.0.3,card three\n10.0.0.1\n\n10.0.0.4,,\n"
            "10.0.0.5 ,\n10.0.0.05\n10.0.0.256\n10.0.0.9")
                             << QStringList { "10.0.0.1", "10.0.0.2", "10.0.0.9" };
        QTest::newRow("no addresses") << QByteArray("no\naddresses\nhere\n") << QStringList();
        // Found by fuzzing: the reader took a long line in pieces, and the
        // piece after the cut was read as a line of its own.
        QTest::newRow("address behind the cut") << QByteArray(limit, 'x') + "10.0.0.1\n10.0.0.2\n"
                                                << QStringList { "10.0.0.2" };
        QTest::newRow("text behind the cut")
            << QByteArray(limit - 8, ' ') + "10.0.0.1,card one\n10.0.0.3" << QStringList { "10.0.0.3" };
        QTest::newRow("many pieces") << QByteArray(3 * limit + 17, 'y') + "10.0.0.1" << QStringList();
        QTest::newRow("line at the limit")
            << QByteArray(limit - 8, ' ') + "10.0.0.4\n10.0.0.5" << QStringList { "10.0.0.4", "10.0.0.5" };
        QTest::newRow("line of text at the limit") << QByteArray(limit, 'x') + "\n10.0.0.6\n"
                                                   << QStringList { "10.0.0.6" };
    }
    void textFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, addresses);
        QStringList read { QStringLiteral("stale") };
        QCOMPARE(DeviceList::read(m_dir.file(QStringLiteral("cards.txt"), content), &read), DeviceList::Result::Ok);
        QCOMPARE(read, addresses);
        QCOMPARE(DeviceList::read(QStringLiteral("/no/such/list.txt"), &read), DeviceList::Result::CannotOpen);
        QVERIFY(read.isEmpty());
    }

    void workbooks_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("range");
        QTest::addColumn<QStringList>("addresses");
        const auto row = [](const char* name, const char* file, const char* range, const QStringList& addresses) {
            QTest::newRow(name) << QStringLiteral(FIXTURE_DIR "/") + file << range << addresses;
        };
        const QStringList columnB { "192.168.1.20", "192.168.1.21", "192.168.1.22", "192.168.1.23" };
        row("column B, openpyxl", "columnB-openpyxl.xlsx", "B2:B5", columnB);
        row("column B, xlsxwriter", "columnB-xlsxwriter.xlsx", "B2:B5", columnB);
        row("only A1, openpyxl", "onlyA1-openpyxl.xlsx", "A1", { "10.0.0.7" });
        row("only A1, xlsxwriter", "onlyA1-xlsxwriter.xlsx", "A1", { "10.0.0.7" });
        row("empty, openpyxl", "empty-openpyxl.xlsx", "", {});
        row("empty, xlsxwriter", "empty-xlsxwriter.xlsx", "", {});
        row("current sheet, first used column", "mixed-xlsxwriter.xlsx", "C3:D11",
            { "10.1.0.1", "10.1.0.2", "10.1.0.3", "10.1.0.5" });
    }
    void workbooks()
    {
        QFETCH(QString, file);
        QFETCH(QString, range);
        QFETCH(QStringList, addresses);
        XlsxReader reader;
        QVERIFY2(reader.read(file), qPrintable(reader.errorString()));
        QCOMPARE(reader.usedRange().toString(), range);
        QStringList got;
        QCOMPARE(DeviceList::read(file, &got), DeviceList::Result::Ok);
        QCOMPARE(got, addresses);
    }

    void hostileWorkbooks()
    {
        const QByteArray zip = PackageBuilder::read(QStringLiteral(FIXTURE_DIR "/columnB-xlsxwriter.xlsx"));
        // Not a zip, an empty file, a truncated zip, a zip without its directory.
        for (const QByteArray& bytes :
            { QByteArray("192.168.1.20\n"), QByteArray(), zip.left(zip.size() / 2), zip.left(zip.size() - 30) }) {
            QStringList got { QStringLiteral("stale") };
            QString error;
            QCOMPARE(DeviceList::read(m_dir.file(QStringLiteral("list.xlsx"), bytes), &got, &error),
                DeviceList::Result::NotAWorkbook);
            QVERIFY(got.isEmpty() && !error.isEmpty());
        }
    }

    // Found by fuzzing (the workbook target ran at a dozen inputs a second):
    // every part was read with one read of the whole size limit, which reserved
    // 64 MB per part. Parts are now read in pieces; a sheet of many pieces must
    // still come whole.
    void largeSheet()
    {
        QByteArray sheet("<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>");
        QStringList expected;
        for (int row = 1; row <= 3000; ++row) { // some 200 kB of sheet XML
            expected.append(QStringLiteral("10.1.%1.%2").arg(row / 250).arg(row % 250));
            sheet += QStringLiteral("<row r=\"%1\"><c r=\"A%1\" t=\"inlineStr\"><is><t>%2</t></is></c></row>")
                         .arg(row)
                         .arg(expected.last())
                         .toUtf8();
        }
        const QList<QPair<QString, QByteArray>> parts {
            { "xl/workbook.xml",
                "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                "<sheets><sheet name=\"Cards\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>" },
            { "xl/_rels/workbook.xml.rels",
                "<Relationships><Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                "</Relationships>" },
            { "xl/worksheets/sheet1.xml", sheet + "</sheetData></worksheet>" },
        };
        for (int method : { Z_DEFLATED, 0 }) { // deflated, stored
            const QString path = m_dir.path(QStringLiteral("large%1.xlsx").arg(method));
            QuaZip zip(path);
            QVERIFY(zip.open(QuaZip::mdCreate));
            for (const auto& part : parts) {
                QuaZipFile file(&zip);
                QVERIFY(file.open(QIODevice::WriteOnly, QuaZipNewInfo(part.first), nullptr, 0, method));
                QCOMPARE(file.write(part.second), qint64(part.second.size()));
            }
            zip.close();
            QCOMPARE(zip.getZipError(), ZIP_OK);
            QStringList addresses;
            QCOMPARE(DeviceList::read(path, &addresses), DeviceList::Result::Ok);
            QCOMPARE(addresses, expected);
        }
    }

    void cellReferences()
    {
        QStringList got;
        for (const char* reference : { "A1", "AA3", "XFD1048576", "XFE1", "A0", "AB", "12", "A-1" }) {
            int r = 0, c = 0;
            got << (XlsxReader::parseReference(reference, &r, &c)
                    ? QStringLiteral("%1,%2,%3").arg(r).arg(c).arg(XlsxReader::columnName(c))
                    : QStringLiteral("-"));
        }
        QCOMPARE(got.join('|'), QStringLiteral("1,1,A|3,27,AA|1048576,16384,XFD|-|-|-|-|-"));
    }

    void detail_data()
    {
        QTest::addColumn<BatchTracker::Card>("card");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* text, Phase phase, int status = Thread::NotStart,
                             int reason = ProgrammingRun::NoFailure, int mode = Thread::Program) {
            BatchTracker::Card c;
            c.phase = phase;
            c.report.status = status;
            c.report.reason = reason;
            c.bytesTotal = 1000;
            c.bytesAcknowledged = 375;
            c.startedMs = 500;
            c.installingMs = 1000;
            QTest::newRow(text) << c << mode << text;
        };
        row("waiting", Phase::Waiting);
        row("connecting", Phase::Connecting);
        row("sending 37%", Phase::Sending); // whole percent, rounded down: never "100%" before the last byte
        row("installing 0:12", Phase::Installing);
        row("done", Phase::Ended, Thread::Succeeded);
        row("version read", Phase::Ended, Thread::Succeeded, ProgrammingRun::NoFailure, Thread::ReadVersion);
        row("connect failed", Phase::Ended, Thread::Failed, ProgrammingRun::ConnectFailed);
        row("chunk time-out", Phase::Ended, Thread::Failed, ProgrammingRun::ChunkTimeout);
        row("installation time-out", Phase::Ended, Thread::Failed, ProgrammingRun::InstallationTimeout);
        row("not started", Phase::NotStarted);
    }
    void detail()
    {
        QFETCH(BatchTracker::Card, card);
        QFETCH(int, mode);
        QFETCH(QString, text);
        QCOMPARE(BatchTracker::detail(card, mode, 13500), text);
    }

    void totalsLine_data()
    {
        QTest::addColumn<BatchTracker::Totals>("totals");
        QTest::addColumn<QString>("text");
        using T = BatchTracker::Totals;
        QTest::newRow("no pace yet") << T { 3, 1, 16, 0, 42000 }
                                     << "Succeeded: 3    Failed: 1    Left: 16    Elapsed: 0:42    Remaining: -";
        QTest::newRow("estimate") << T { 3, 1, 16, 0, 42000, 190000 }
                                  << "Succeeded: 3    Failed: 1    Left: 16    Elapsed: 0:42    Remaining: about 3:10";
        QTest::newRow("finished") << T { 18, 2, 0, 0, 271000, -1, true }
                                  << "Batch finished: 18 succeeded, 2 failed, 4:31";
        QTest::newRow("canary failed") << T { 0, 1, 0, 19, 3723000, -1, true, BatchPool::Halt::CanaryFailed }
                                       << "Batch finished: 0 succeeded, 1 failed, 1:02:03; 19 not started: the first "
                                          "device failed";
    }
    void totalsLine()
    {
        QFETCH(BatchTracker::Totals, totals);
        QFETCH(QString, text);
        QCOMPARE(BatchTracker::totalsText(totals), text);
    }

    // The version comes from the card: quoted where it must be, and never
    // taken for a formula by a spreadsheet.
    void csvExport()
    {
        const QList<BatchReport::CsvRow> rows { { "127.0.0.5", Thread::Succeeded, {}, "v2.5.0 build 7", 163840, 2,
                                                    12.345 },
            { "127.0.0.6", Thread::Failed, "chunk time-out", {}, 4096, 3, 41 },
            { "127.0.0.7", Thread::NotStart, "not started: failure limit reached", {}, 0, 0, 0 },
            { "127.0.0.8", Thread::Succeeded, {}, "v1, \"beta\"", 1, 0, 1 },
            { "127.0.0.9", Thread::Succeeded, {}, "=HYPERLINK(1)", 1, 0, 1 } };
        QCOMPARE(QString::fromUtf8(BatchReport::csv(rows, { "ab12", 2, QStringLiteral("1.4.0") })).split("\r\n"),
            QStringList(
                { "address,status,reason,version,bytes_sent,resends,seconds,image_sha256,programming_type,tool_version",
                    "127.0.0.5,Succeeded,,v2.5.0 build 7,163840,2,12.3,ab12,Patch,1.4.0",
                    "127.0.0.6,Failed,chunk time-out,,4096,3,41.0,ab12,Patch,1.4.0",
                    "127.0.0.7,Not Start,not started: failure limit reached,,0,0,0.0,ab12,Patch,1.4.0",
                    "127.0.0.8,Succeeded,,\"v1, \"\"beta\"\"\",1,0,1.0,ab12,Patch,1.4.0",
                    "127.0.0.9,Succeeded,,'=HYPERLINK(1),1,0,1.0,ab12,Patch,1.4.0", "" }));
    }

    void reportLayout()
    {
        const QDateTime when(QDate(2026, 12, 5), QTime(14, 3, 9));
        QCOMPARE(BatchReport::format(when, { { "192.168.1.20", "Succeeded" }, { "192.168.1.21", "Not Start" } }),
            QByteArray("2026-12-05 14:03:09\n\nIP\t\t\t\t\tResult\n================================================\n"
                       "192.168.1.20\t\tSucceeded\n192.168.1.21\t\tNot Start\n"));
        QVERIFY(BatchReport::format(when, {}).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProgrammingFormats)
#include "tst_programmingformats.moc"
