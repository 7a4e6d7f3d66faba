// Arbitrary XML inside a well-formed workbook: the harness wraps the input
// in a valid .xlsx zip (the fuzzer would rarely make one by itself), so the
// sheet, shared strings, workbook and relationship readers all see hostile
// XML. Whatever they get, the cells must lie on the sheet, each once, the
// used range must hold them, and the device list read from the workbook must
// be the addresses of the range's first column.
//
// Input: byte 0 holds flags, the rest is split at zero bytes into the sheet,
// the shared strings, the workbook and the workbook's relationships; a
// missing or empty piece is replaced by a valid default.
//   bit 0  parts deflated (else stored)
//   bit 1  no shared-strings part in the zip
#include "fuzzcheck.h"

#include "link/ipaddresspattern.h"
#include "programming/devicelist.h"
#include "programming/xlsxreader.h"

#include <QBuffer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

#include <algorithm>

namespace {

const QByteArray kContentTypes = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "</Types>");

const QByteArray kRootRels
    = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"rId1\" "
                        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
                        "Target=\"xl/workbook.xml\"/></Relationships>");

const QByteArray kWorkbook
    = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                        "<bookViews><workbookView activeTab=\"0\"/></bookViews>"
                        "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");

const QByteArray kWorkbookRels
    = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"rId1\" "
                        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                        "Target=\"worksheets/sheet1.xml\"/>"
                        "<Relationship Id=\"rId2\" "
                        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" "
                        "Target=\"sharedStrings.xml\"/></Relationships>");

const QByteArray kSheet = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
    "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>"
    "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>10.0.0.2</t></is></c><c r=\"B2\"><v>7</v></c></row>"
    "</sheetData></worksheet>");

const QByteArray kSharedStrings = QByteArrayLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"1\" uniqueCount=\"1\">"
    "<si><t>10.0.0.1</t></si></sst>");

bool addPart(QuaZip& zip, const QString& name, const QByteArray& bytes, bool deflate)
{
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(name), nullptr, 0, deflate ? Z_DEFLATED : 0, 1))
        return false;
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    return written && file.getZipError() == ZIP_OK;
}

QByteArray workbookZip(const QList<QByteArray>& pieces, quint8 flags)
{
    auto piece = [&](int i, const QByteArray& fallback) {
        return i < pieces.size() && !pieces.at(i).isEmpty() ? pieces.at(i) : fallback;
    };
    const bool deflate = flags & 1;
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdCreate))
        return QByteArray();
    bool ok = addPart(zip, QStringLiteral("[Content_Types].xml"), kContentTypes, deflate)
        && addPart(zip, QStringLiteral("_rels/.rels"), kRootRels, deflate)
        && addPart(zip, QStringLiteral("xl/workbook.xml"), piece(2, kWorkbook), deflate)
        && addPart(zip, QStringLiteral("xl/_rels/workbook.xml.rels"), piece(3, kWorkbookRels), deflate)
        && addPart(zip, QStringLiteral("xl/worksheets/sheet1.xml"), piece(0, kSheet), deflate);
    if (ok && !(flags & 2))
        ok = addPart(zip, QStringLiteral("xl/sharedStrings.xml"), piece(1, kSharedStrings), deflate);
    zip.close();
    if (!ok || zip.getZipError() != ZIP_OK)
        return QByteArray();
    return buffer.data();
}

void checkCells(const XlsxReader& reader)
{
    QSet<QPair<int, int>> seen;
    const XlsxReader::Range range = reader.usedRange();
    FUZZ_CHECK(range.isEmpty() == reader.cells().isEmpty());
    for (const XlsxReader::Cell& cell : reader.cells()) {
        FUZZ_CHECK(cell.row >= 1 && cell.row <= 1048576 && cell.column >= 1 && cell.column <= 16384);
        FUZZ_CHECK(!cell.text.isEmpty());
        const auto position = qMakePair(cell.row, cell.column);
        FUZZ_CHECK(!seen.contains(position));
        seen.insert(position);
        FUZZ_CHECK(reader.cellText(cell.row, cell.column) == cell.text);
        FUZZ_CHECK(cell.row >= range.firstRow && cell.row <= range.lastRow);
        FUZZ_CHECK(cell.column >= range.firstColumn && cell.column <= range.lastColumn);
    }
    if (range.isEmpty())
        return;
    // The range's text names its corners again.
    const QStringList corners = range.toString().split(QLatin1Char(':'));
    int row = 0, column = 0;
    FUZZ_CHECK(XlsxReader::parseReference(corners.first(), &row, &column));
    FUZZ_CHECK(row == range.firstRow && column == range.firstColumn);
    FUZZ_CHECK(XlsxReader::parseReference(corners.last(), &row, &column));
    FUZZ_CHECK(row == range.lastRow && column == range.lastColumn);
}

// The device list of the workbook: the addresses in the first column of the
// used range, top to bottom, each once.
QStringList expectedAddresses(const XlsxReader& reader)
{
    const XlsxReader::Range range = reader.usedRange();
    QList<XlsxReader::Cell> column;
    for (const XlsxReader::Cell& cell : reader.cells()) {
        if (cell.column == range.firstColumn)
            column.append(cell);
    }
    std::sort(column.begin(), column.end(),
        [](const XlsxReader::Cell& a, const XlsxReader::Cell& b) { return a.row < b.row; });
    QStringList addresses;
    for (const XlsxReader::Cell& cell : column) {
        if (IpAddressPattern::matches(cell.text) && !addresses.contains(cell.text))
            addresses.append(cell.text);
    }
    return addresses;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), int(size - 1));
    const QByteArray zipBytes = workbookZip(rest.split('\0'), data[0]);
    FUZZ_CHECK(!zipBytes.isEmpty());

    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cards.xlsx"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(zipBytes);
    }

    XlsxReader reader;
    const bool read = reader.read(path);
    QStringList addresses;
    QString error;
    const DeviceList::Result result = DeviceList::read(path, &addresses, &error);
    if (!read) {
        FUZZ_CHECK(!reader.errorString().isEmpty());
        FUZZ_CHECK(reader.cells().isEmpty());
        FUZZ_CHECK(result == DeviceList::Result::NotAWorkbook && addresses.isEmpty() && !error.isEmpty());
        return 0;
    }
    checkCells(reader);
    FUZZ_CHECK(result == DeviceList::Result::Ok);
    FUZZ_CHECK(addresses == expectedAddresses(reader));
    return 0;
}
