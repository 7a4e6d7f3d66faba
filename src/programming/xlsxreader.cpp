#include "xlsxreader.h"

#include <QXmlStreamReader>

#include <quazip.h>
#include <quazipfile.h>

namespace {

// A workbook part larger than this is refused rather than inflated: a device
// list is a few kilobytes, a hostile zip can claim gigabytes.
constexpr qint64 kMaxPartSize = 64 * 1024 * 1024;

const QString kRelationshipsNs = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");

bool readPart(QuaZip& zip, const QString& name, QByteArray* out, QString* error)
{
    if (!zip.setCurrentFile(name, QuaZip::csInsensitive)) {
        *error = QStringLiteral("the workbook has no part %1").arg(name);
        return false;
    }
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1 in the workbook").arg(name);
        return false;
    }
    if (file.usize() > kMaxPartSize) {
        *error = QStringLiteral("%1 is too large").arg(name);
        return false;
    }
    // In pieces: read(kMaxPartSize + 1) would reserve the whole limit for
    // every part, however small the part is. The size the zip declares is
    // not trusted either; the limit holds for what actually inflates.
    out->clear();
    char piece[16 * 1024];
    qint64 got = 0;
    while (out->size() <= kMaxPartSize && (got = file.read(piece, sizeof piece)) > 0)
        out->append(piece, int(got));
    file.close();
    if (got < 0 || out->size() > kMaxPartSize || file.getZipError() != UNZ_OK) {
        *error = QStringLiteral("%1 is damaged").arg(name);
        return false;
    }
    return true;
}

// "worksheets/sheet1.xml" relative to xl/, or "/xl/worksheets/sheet1.xml".
QString partPath(const QString& target)
{
    if (target.startsWith(QLatin1Char('/')))
        return target.mid(1);
    QString path = QStringLiteral("xl/") + target;
    // Resolve "../" the way a relative URI does.
    QStringList out;
    for (const QString& part : path.split(QLatin1Char('/'))) {
        if (part == QLatin1String(".."))
            out.isEmpty() ? void() : out.removeLast();
        else if (part != QLatin1String("."))
            out.append(part);
    }
    return out.join(QLatin1Char('/'));
}

// The text of one <si> or <is> element: every <t> below it, rich-text runs
// concatenated, phonetic runs (<rPh>) left out.
QString readStringItem(QXmlStreamReader& xml)
{
    QString text;
    const QString end = xml.name().toString();
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (xml.name() == QLatin1String("t") && phonetic == 0)
                text += xml.readElementText();
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            else if (xml.name() == end)
                break;
        }
    }
    return text;
}

} // namespace

QString XlsxReader::Range::toString() const
{
    if (isEmpty())
        return QString();
    const QString first = columnName(firstColumn) + QString::number(firstRow);
    if (firstRow == lastRow && firstColumn == lastColumn)
        return first;
    return first + QLatin1Char(':') + columnName(lastColumn) + QString::number(lastRow);
}

QString XlsxReader::columnName(int column)
{
    QString name;
    while (column > 0) {
        const int digit = (column - 1) % 26;
        name.prepend(QChar(QLatin1Char(char('A' + digit))));
        column = (column - 1) / 26;
    }
    return name;
}

bool XlsxReader::parseReference(const QString& reference, int* row, int* column)
{
    int i = 0;
    qint64 col = 0;
    while (i < reference.size() && reference.at(i).isLetter() && reference.at(i).unicode() < 128) {
        col = col * 26 + (reference.at(i).toUpper().unicode() - 'A' + 1);
        if (col > 16384) // XFD, the last column of a sheet
            return false;
        ++i;
    }
    if (i == 0 || i == reference.size())
        return false;
    bool ok = false;
    const int r = reference.mid(i).toInt(&ok);
    if (!ok || r < 1 || r > 1048576 || !reference.at(i).isDigit())
        return false;
    *row = r;
    *column = int(col);
    return true;
}

bool XlsxReader::read(const QString& path)
{
    m_error.clear();
    m_cells.clear();
    m_index.clear();

    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip)) {
        m_error = QStringLiteral("not a workbook (cannot open it as a zip file)");
        return false;
    }

    // The workbook: its sheets in tab order and which tab is active.
    QByteArray bytes;
    if (!readPart(zip, QStringLiteral("xl/workbook.xml"), &bytes, &m_error))
        return false;
    struct Sheet {
        QString name, relId;
    };
    QList<Sheet> sheets;
    int activeTab = 0;
    {
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("workbookView"))
                activeTab = xml.attributes().value(QStringLiteral("activeTab")).toInt();
            else if (xml.name() == QLatin1String("sheet"))
                sheets.append(Sheet { xml.attributes().value(QStringLiteral("name")).toString(),
                    xml.attributes().value(kRelationshipsNs, QStringLiteral("id")).toString() });
        }
        if (xml.hasError() || sheets.isEmpty()) {
            m_error = QStringLiteral("the workbook lists no sheet");
            return false;
        }
    }
    const Sheet sheet = sheets.value(activeTab >= 0 && activeTab < sheets.size() ? activeTab : 0);

    // Where the sheet and the shared strings are.
    QString sheetPath, stringsPath;
    if (!readPart(zip, QStringLiteral("xl/_rels/workbook.xml.rels"), &bytes, &m_error))
        return false;
    {
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement() || xml.name() != QLatin1String("Relationship"))
                continue;
            const auto a = xml.attributes();
            const QString target = partPath(a.value(QStringLiteral("Target")).toString());
            if (a.value(QStringLiteral("Id")) == sheet.relId)
                sheetPath = target;
            if (a.value(QStringLiteral("Type")).endsWith(QLatin1String("/sharedStrings")))
                stringsPath = target;
        }
    }
    if (sheetPath.isEmpty()) {
        m_error = QStringLiteral("the workbook does not say where sheet %1 is").arg(sheet.name);
        return false;
    }

    QStringList shared;
    if (!stringsPath.isEmpty() && readPart(zip, stringsPath, &bytes, &m_error)) {
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("si"))
                shared.append(readStringItem(xml));
        }
    }
    m_error.clear();

    if (!readPart(zip, sheetPath, &bytes, &m_error))
        return false;
    QXmlStreamReader xml(bytes);
    int currentRow = 0;
    int nextColumn = 1;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("row")) {
            const QStringRef r = xml.attributes().value(QStringLiteral("r"));
            currentRow = r.isEmpty() ? currentRow + 1 : r.toInt();
            nextColumn = 1;
            continue;
        }
        if (xml.name() != QLatin1String("c"))
            continue;
        int row = currentRow, column = nextColumn;
        const QString reference = xml.attributes().value(QStringLiteral("r")).toString();
        if (!reference.isEmpty() && !parseReference(reference, &row, &column))
            continue;
        nextColumn = column + 1;
        const QString type = xml.attributes().value(QStringLiteral("t")).toString();

        QString value;
        bool hasValue = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.name() == QLatin1String("c"))
                break;
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("v")) {
                value = xml.readElementText();
                hasValue = true;
            } else if (xml.name() == QLatin1String("is")) {
                value = readStringItem(xml);
                hasValue = true;
            }
        }
        if (!hasValue || type == QLatin1String("e"))
            continue;
        if (type == QLatin1String("s")) {
            bool ok = false;
            const int index = value.toInt(&ok);
            if (!ok || index < 0 || index >= shared.size())
                continue;
            value = shared.at(index);
        } else if (type == QLatin1String("b")) {
            value = value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        }
        if (value.isEmpty() || row < 1 || column < 1)
            continue;
        const auto key = qMakePair(row, column);
        if (m_index.contains(key)) {
            m_cells[m_index.value(key)].text = value;
        } else {
            m_index.insert(key, m_cells.size());
            m_cells.append(Cell { row, column, value });
        }
    }
    if (xml.hasError()) {
        m_error = QStringLiteral("sheet %1 is not well-formed: %2").arg(sheet.name, xml.errorString());
        m_cells.clear();
        m_index.clear();
        return false;
    }
    return true;
}

XlsxReader::Range XlsxReader::usedRange() const
{
    Range range;
    for (const Cell& cell : m_cells) {
        if (range.isEmpty()) {
            range = Range { cell.row, cell.column, cell.row, cell.column };
            continue;
        }
        range.firstRow = qMin(range.firstRow, cell.row);
        range.lastRow = qMax(range.lastRow, cell.row);
        range.firstColumn = qMin(range.firstColumn, cell.column);
        range.lastColumn = qMax(range.lastColumn, cell.column);
    }
    return range;
}

QString XlsxReader::cellText(int row, int column) const
{
    const auto it = m_index.constFind(qMakePair(row, column));
    return it == m_index.constEnd() ? QString() : m_cells.at(*it).text;
}
