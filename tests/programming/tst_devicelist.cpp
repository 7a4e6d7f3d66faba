// Device lists (text, CSV, .xlsx written by real spreadsheet writers) and the
// batch result report.

#include "programming/batchreport.h"
#include "programming/devicelist.h"
#include "programming/xlsxreader.h"

#include <QTemporaryDir>
#include <QtTest>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

namespace {

QString fixture(const char* name)
{
    return QStringLiteral(FIXTURE_DIR "/") + QLatin1String(name);
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile f(dir.filePath(name));
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
}

} // namespace

class TestDeviceList : public QObject {
    Q_OBJECT

private slots:
    void lineRule_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("address");
        QTest::newRow("plain") << QByteArray("192.168.1.20\n") << "192.168.1.20";
        QTest::newRow("one trailing comma") << QByteArray("10.0.0.1,\n") << "10.0.0.1";
        QTest::newRow("spaces around") << QByteArray("   10.0.0.2 \t\n") << "10.0.0.2";
        QTest::newRow("comma then text") << QByteArray("10.0.0.3,card 3\n") << "";
        QTest::newRow("two commas") << QByteArray("10.0.0.4,,\n") << "";
        QTest::newRow("space before the comma") << QByteArray("10.0.0.5 ,\n") << "";
        QTest::newRow("leading zero") << QByteArray("10.0.0.05\n") << "";
        QTest::newRow("above 255") << QByteArray("10.0.0.256\n") << "";
        QTest::newRow("empty") << QByteArray("\n") << "";
        QTest::newRow("header") << QByteArray("IP,\n") << "";
    }
    void lineRule()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, address);
        QCOMPARE(DeviceList::addressFromLine(line), address);
    }

    void textFile()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("cards.csv"),
            "IP,\n10.0.0.1,\n  10.0.0.2  \n10.0.0.3,card three\n10.0.0.1\n\n10.0.0.4,,\n10.0.0.9");
        QStringList addresses { QStringLiteral("stale") };
        QCOMPARE(DeviceList::read(path, &addresses), DeviceList::Result::Ok);
        QCOMPARE(addresses, (QStringList { "10.0.0.1", "10.0.0.2", "10.0.0.9" }));
        const QString none = writeFile(dir, QStringLiteral("none.txt"), "no\naddresses\nhere\n");
        QCOMPARE(DeviceList::read(none, &addresses), DeviceList::Result::Ok);
        QVERIFY(addresses.isEmpty());
        addresses = QStringList { QStringLiteral("stale") };
        QCOMPARE(DeviceList::read(QStringLiteral("/no/such/list.txt"), &addresses), DeviceList::Result::CannotOpen);
        QVERIFY(addresses.isEmpty());
    }

    // Found by fuzzing: the reader took a long line in pieces, and the piece
    // after the cut was read as a line of its own.
    void longLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("addresses");
        const int limit = DeviceList::kMaxLineBytes;
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
    void longLines()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, addresses);
        QTemporaryDir dir;
        QStringList read;
        QCOMPARE(DeviceList::read(writeFile(dir, QStringLiteral("cards.txt"), content), &read), DeviceList::Result::Ok);
        QCOMPARE(read, addresses);
    }

    void workbooks_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("range");
        QTest::addColumn<QStringList>("addresses");
        const QStringList columnB { "192.168.1.20", "192.168.1.21", "192.168.1.22", "192.168.1.23" };
        QTest::newRow("column B, openpyxl") << fixture("columnB-openpyxl.xlsx") << "B2:B5" << columnB;
        QTest::newRow("column B, xlsxwriter") << fixture("columnB-xlsxwriter.xlsx") << "B2:B5" << columnB;
        QTest::newRow("only A1, openpyxl") << fixture("onlyA1-openpyxl.xlsx") << "A1" << QStringList { "10.0.0.7" };
        QTest::newRow("only A1, xlsxwriter") << fixture("onlyA1-xlsxwriter.xlsx") << "A1" << QStringList { "10.0.0.7" };
        QTest::newRow("empty, openpyxl") << fixture("empty-openpyxl.xlsx") << "" << QStringList();
        QTest::newRow("empty, xlsxwriter") << fixture("empty-xlsxwriter.xlsx") << "" << QStringList();
        QTest::newRow("current sheet, first used column") << fixture(
            "mixed-xlsxwriter.xlsx") << "C3:D11" << QStringList { "10.1.0.1", "10.1.0.2", "10.1.0.3", "10.1.0.5" };
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

    void hostileWorkbooks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QFile good(fixture("columnB-xlsxwriter.xlsx"));
        good.open(QIODevice::ReadOnly);
        const QByteArray zip = good.readAll();
        QTest::newRow("not a zip") << QByteArray("192.168.1.20\n");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("truncated zip") << zip.left(zip.size() / 2);
        QTest::newRow("zip without its directory") << zip.left(zip.size() - 30);
    }
    void hostileWorkbooks()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("list.xlsx"), bytes);
        QStringList got { QStringLiteral("stale") };
        QString error;
        QCOMPARE(DeviceList::read(path, &got, &error), DeviceList::Result::NotAWorkbook);
        QVERIFY(got.isEmpty());
        QVERIFY(!error.isEmpty());
    }

    // Found by fuzzing (the workbook target ran at a dozen inputs a second):
    // every part was read with one read of the whole size limit, which reserved
    // 64 MB per part. Parts are now read in pieces; a sheet of many pieces must
    // still come whole.
    void largeSheet_data()
    {
        QTest::addColumn<bool>("deflate");
        QTest::newRow("deflated") << true;
        QTest::newRow("stored") << false;
    }
    void largeSheet()
    {
        QFETCH(bool, deflate);
        constexpr int kRows = 3000; // some 200 kB of sheet XML
        QByteArray sheet("<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>");
        QStringList expected;
        for (int row = 1; row <= kRows; ++row) {
            const QString address = QStringLiteral("10.1.%1.%2").arg(row / 250).arg(row % 250);
            expected.append(address);
            sheet += QStringLiteral("<row r=\"%1\"><c r=\"A%1\" t=\"inlineStr\"><is><t>%2</t></is></c></row>")
                         .arg(row)
                         .arg(address)
                         .toUtf8();
        }
        sheet += "</sheetData></worksheet>";
        const QList<QPair<QString, QByteArray>> parts {
            { QStringLiteral("xl/workbook.xml"),
                "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                "<sheets><sheet name=\"Cards\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>" },
            { QStringLiteral("xl/_rels/workbook.xml.rels"),
                "<Relationships><Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                "</Relationships>" },
            { QStringLiteral("xl/worksheets/sheet1.xml"), sheet },
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("large.xlsx"));
        {
            QuaZip zip(path);
            QVERIFY(zip.open(QuaZip::mdCreate));
            for (const auto& part : parts) {
                QuaZipFile file(&zip);
                QVERIFY(
                    file.open(QIODevice::WriteOnly, QuaZipNewInfo(part.first), nullptr, 0, deflate ? Z_DEFLATED : 0));
                QCOMPARE(file.write(part.second), qint64(part.second.size()));
                file.close();
            }
            zip.close();
            QCOMPARE(zip.getZipError(), ZIP_OK);
        }
        QStringList addresses;
        QCOMPARE(DeviceList::read(path, &addresses), DeviceList::Result::Ok);
        QCOMPARE(addresses.size(), kRows);
        QCOMPARE(addresses, expected);
    }

    void cellReferences_data()
    {
        QTest::addColumn<QString>("reference");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("A1") << "A1" << 1 << 1;
        QTest::newRow("AA3") << "AA3" << 3 << 27;
        QTest::newRow("XFD1048576") << "XFD1048576" << 1048576 << 16384;
        QTest::newRow("past the last column") << "XFE1" << 0 << 0;
        QTest::newRow("row 0") << "A0" << 0 << 0;
        QTest::newRow("no row") << "AB" << 0 << 0;
        QTest::newRow("no column") << "12" << 0 << 0;
        QTest::newRow("sign") << "A-1" << 0 << 0;
    }
    void cellReferences()
    {
        QFETCH(QString, reference);
        QFETCH(int, row);
        QFETCH(int, column);
        int r = 0, c = 0;
        QCOMPARE(XlsxReader::parseReference(reference, &r, &c), row != 0);
        if (row) {
            QCOMPARE(r, row);
            QCOMPARE(c, column);
            QCOMPARE(XlsxReader::columnName(c) + QString::number(r), reference);
        }
    }

    void reportLayout()
    {
        const QDateTime when(QDate(2026, 12, 5), QTime(14, 3, 9));
        const QByteArray report
            = BatchReport::format(when, { { "192.168.1.20", "Succeeded" }, { "192.168.1.21", "Not Start" } });
        QCOMPARE(report,
            QByteArray("2026-12-05 14:03:09\n\nIP\t\t\t\t\tResult\n================================================\n"
                       "192.168.1.20\t\tSucceeded\n192.168.1.21\t\tNot Start\n"));
        QVERIFY(BatchReport::format(when, {}).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestDeviceList)
#include "tst_devicelist.moc"
