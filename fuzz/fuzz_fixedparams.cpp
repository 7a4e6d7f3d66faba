// The card's fixed parameters: the read reply (code 14) a card sends, and the
// parameter file a technician is handed. Whatever they hold, the rows must be
// well-formed, a write must send exactly the rows it shows, and saving and
// loading a parameter file must give the rows back.
//
// Input: byte 0 chooses the mode, the rest is the data.
//   0 mod 4  read reply; its rows are written back as a write request
//   1 mod 4  read reply; its rows are saved to a parameter file and loaded again
//   2 mod 4  parameter file (INI text), loaded and planned as a write
//   3 mod 4  the value completion of the "ethaddr" row on the text
#include "fuzzcheck.h"

#include "pages/fixedparams.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>

namespace {

using FixedParams::Row;

QVector<Row> sendable(const QVector<Row>& rows)
{
    QVector<Row> out;
    for (const Row& row : rows) {
        if (row.complete && !row.key.isEmpty() && !row.value.isEmpty())
            out.append(row);
    }
    return out;
}

bool sameRows(const QVector<Row>& a, const QVector<Row>& b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (a.at(i).key != b.at(i).key || a.at(i).value != b.at(i).value)
            return false;
    }
    return true;
}

void checkWrite(const QVector<Row>& rows)
{
    const FixedParams::WritePlan plan = FixedParams::planWrite(rows);
    QVector<Row> wanted = sendable(rows);
    std::sort(wanted.begin(), wanted.end(), [](const Row& a, const Row& b) { return a.key < b.key; });
    if (plan.outcome == FixedParams::WritePlan::Invalid) {
        FUZZ_CHECK(plan.json.isEmpty());
        return;
    }
    FUZZ_CHECK(!wanted.isEmpty());
    // The request reads back as exactly the rows that had key and value.
    QVector<Row> sent;
    FUZZ_CHECK(FixedParams::parseReadReply(plan.json, &sent));
    FUZZ_CHECK(sameRows(sent, wanted));
    FUZZ_CHECK((plan.outcome == FixedParams::WritePlan::Send) == (wanted.size() == rows.size()));
    for (const Row& row : rows) {
        if (row.key == FixedParams::macKey())
            FUZZ_CHECK(FixedParams::isMacAddress(row.value));
    }
}

bool readReply(const QByteArray& json, QVector<Row>* rows)
{
    const bool ok = FixedParams::parseReadReply(json, rows);
    if (!ok) {
        FUZZ_CHECK(rows->isEmpty());
        return false;
    }
    // Every member once, in ascending key order, as complete rows.
    for (int i = 0; i < rows->size(); ++i) {
        FUZZ_CHECK(rows->at(i).complete);
        if (i > 0)
            FUZZ_CHECK(rows->at(i - 1).key < rows->at(i).key);
    }
    return true;
}

void saveAndLoad(const QVector<Row>& rows)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("params.ini"));
    QFile::remove(path);
    QString error;
    if (!FixedParams::saveFile(path, rows, &error)) {
        std::fprintf(stderr, "save refused: %s\n", qPrintable(error));
        // Refused only for a key the INI format cannot keep, or when there
        // is nothing to save into a new file; then nothing is written.
        bool slash = false;
        for (const Row& row : sendable(rows))
            slash = slash || row.key.contains(QLatin1Char('/'));
        FUZZ_CHECK(slash || sendable(rows).isEmpty());
        FUZZ_CHECK(!QFile::exists(path));
        return;
    }
    QVector<Row> loaded;
    FUZZ_CHECK(FixedParams::loadFile(path, &loaded));
    // The file lists the keys in its own order.
    QVector<Row> wanted = sendable(rows);
    auto byKey = [](const Row& a, const Row& b) { return a.key < b.key; };
    std::sort(wanted.begin(), wanted.end(), byKey);
    std::sort(loaded.begin(), loaded.end(), byKey);
    if (!sameRows(loaded, wanted)) {
        for (const Row& row : wanted)
            std::fprintf(stderr, "saved  %s = %s\n", qPrintable(row.key), qPrintable(row.value));
        for (const Row& row : loaded)
            std::fprintf(stderr, "loaded %s = %s\n", qPrintable(row.key), qPrintable(row.value));
    }
    FUZZ_CHECK(sameRows(loaded, wanted));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int mode = data[0] % 4;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), int(size - 1));

    switch (mode) {
    case 0:
    case 1: {
        QVector<Row> rows;
        if (!readReply(bytes, &rows))
            return 0;
        checkWrite(rows);
        if (mode == 1)
            saveAndLoad(rows);
        break;
    }
    case 2: {
        static QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("handed.ini"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes);
        file.close();
        QVector<Row> rows;
        if (!FixedParams::loadFile(path, &rows))
            return 0;
        for (const Row& row : rows)
            FUZZ_CHECK(row.complete);
        checkWrite(rows);
        break;
    }
    default: {
        const QString value = QString::fromUtf8(bytes);
        const QString completed = FixedParams::completedValue(FixedParams::macKey(), value);
        if (completed != value) {
            // Twelve characters become six groups of two; nothing else changes.
            FUZZ_CHECK(completed.size() == 17);
            FUZZ_CHECK(QString(completed).remove(QLatin1Char(':')) == value);
        }
        FUZZ_CHECK(FixedParams::completedValue(QStringLiteral("name"), value) == value);
        break;
    }
    }
    return 0;
}
