#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// A small reader of .xlsx workbooks (Office Open XML): the zip container is
// read with QuaZip, each part with QXmlStreamReader. It reads what a device
// list needs: the cells of one sheet as text (shared strings, inline strings,
// numbers, booleans, the cached text of formulas).
class XlsxReader {
public:
    struct Cell {
        int row = 0; // 1-based
        int column = 0; // 1-based: A = 1
        QString text;
    };

    struct Range {
        int firstRow = 0, firstColumn = 0, lastRow = 0, lastColumn = 0;
        bool isEmpty() const { return firstRow == 0; }
        QString toString() const; // "A1", "B2:B5"
    };

    // Reads the workbook's current sheet (the active tab, else the first).
    // False with a reason when the file is not a readable workbook.
    bool read(const QString& path);

    QString errorString() const { return m_error; }
    // Cells that hold a value, in sheet order.
    const QList<Cell>& cells() const { return m_cells; }
    // The smallest range holding every cell with a value; empty for an empty sheet.
    Range usedRange() const;
    // The text of the cell, or a null string when it holds no value.
    QString cellText(int row, int column) const;

    // "B12" → row 12, column 2. False for anything else.
    static bool parseReference(const QString& reference, int* row, int* column);
    static QString columnName(int column);

private:
    QString m_error;
    QList<Cell> m_cells;
    QMap<QPair<int, int>, int> m_index; // (row, column) → position in m_cells
};
