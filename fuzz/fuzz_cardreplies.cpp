// The small readers of card replies and of the IP history file, one target
// for all: byte 0 chooses the reader, the rest is the reply's data (the bytes
// between command code and checksum) or the file.
//   0  version text (code 1): text, numbers, transfer choice, version word
//   1  port records (code 16)
//   2  device date (code 6)
//   3  console answer (code 19)
//   4  data from the card's serial port (code 13) as the record shows it
//   5  result byte (codes 9, 11, 12, 15, 17, 256, 257)
//   6  a backup (codes 337 and 338): a size reply, then pieces
//   7  the IP history file config/completer.dat
#include "fuzzcheck.h"

#include "link/resultbyte.h"
#include "mainwindow/iphistory.h"
#include "pages/consoletext.h"
#include "pages/devicedate.h"
#include "pages/portrecords.h"
#include "pages/serialframes.h"
#include "programming/backuptransfer.h"
#include "programming/versiontext.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void versionText(const quint8* data, int size)
{
    const QByteArray text = VersionText::text(data, size);
    FUZZ_CHECK(text.size() <= size && !text.contains('\0'));
    FUZZ_CHECK(text == QByteArray(reinterpret_cast<const char*>(data), text.size()));
    qint32 combined = 0;
    const bool numbers = VersionText::value(text, &combined);
    const bool old = VersionText::usesOldProtocol(data, size);
    // Only a reply long enough and with three numbers can choose the plain
    // transfer, and then only for a version before 1.2.3.
    if (old)
        FUZZ_CHECK(size >= 6 && numbers && combined < VersionText::kSequencedSince);
    if (size >= 6 && numbers && combined < VersionText::kSequencedSince)
        FUZZ_CHECK(old);
    const QString word = VersionText::versionWord(text);
    FUZZ_CHECK(word.size() <= text.size());
    fuzzKeep(word);
}

void portRecords(const quint8* data, int size)
{
    PortRecords::Table rows;
    rows.fill(PortRecords::Entry { true, 4242 });
    const bool ok = PortRecords::decode(data, size, &rows);
    FUZZ_CHECK(ok == (size == PortRecords::kDataSize));
    if (!ok) {
        for (const PortRecords::Entry& row : rows)
            FUZZ_CHECK(row.enabled && row.port == 4242);
        return;
    }
    bool allValid = true;
    for (int i = 0; i < PortRecords::kServiceCount; ++i) {
        const PortRecords::Entry& row = rows[size_t(i)];
        FUZZ_CHECK(row.port >= 0 && row.port <= 0xFFFF);
        FUZZ_CHECK(row.enabled == (data[i * 3] != 0));
        allValid = allValid && PortRecords::isValidPort(row.port);
    }
    // Writing back what was read gives the same records, flags as 0 or 1.
    const QByteArray written = PortRecords::encode(rows);
    FUZZ_CHECK(written.isEmpty() == !allValid);
    if (!allValid)
        return;
    FUZZ_CHECK(written.size() == PortRecords::kDataSize);
    for (int i = 0; i < PortRecords::kDataSize; ++i) {
        const quint8 expected = i % 3 == 0 ? quint8(data[i] != 0) : data[i];
        FUZZ_CHECK(quint8(written.at(i)) == expected);
    }
}

void deviceDate(const quint8* data, int size)
{
    const QString text = DeviceDate::fromReply(data, size);
    FUZZ_CHECK(text.isNull() == (size != DeviceDate::kTextSize));
    FUZZ_CHECK(text.size() <= size);
}

void consoleAnswer(const quint8* data, int size)
{
    const QString text = ConsoleText::decodeAnswer(data, size);
    FUZZ_CHECK(!text.contains(QChar(0)));
    FUZZ_CHECK(text.size() <= size);
    const QByteArray prefix = QByteArray(reinterpret_cast<const char*>(data), size).split('\0').first();
    FUZZ_CHECK(text == QString::fromUtf8(prefix));
}

void serialReceived(const quint8* data, int size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), size);
    const QString hex = SerialFrames::hexPayload(bytes);
    FUZZ_CHECK(hex.size() == 3 * size);
    FUZZ_CHECK(QByteArray::fromHex(hex.toLatin1()) == bytes);
    // Whatever the card sends, the record shows it as text: no markup of the
    // card's own reaches the rich-text view.
    const QString html = SerialFrames::entryHtml(QString::fromUtf8(bytes), 0x32, 0xcd, 0x32);
    const QString prefix = QStringLiteral("<font color=#32cd32>");
    FUZZ_CHECK(html.startsWith(prefix));
    const QString body = html.mid(prefix.size());
    FUZZ_CHECK(!QString(body).remove(QStringLiteral("<br>")).contains(QLatin1Char('<')));
    FUZZ_CHECK(!body.contains(QLatin1Char('>')) || body.count(QLatin1Char('>')) == body.count(QStringLiteral("<br>")));
    FUZZ_CHECK(
        !body.contains(QLatin1Char('"')) && !body.contains(QLatin1Char('\'')) && !body.contains(QLatin1Char(' ')));
}

void resultByte(const quint8* data, int size)
{
    FUZZ_CHECK(ResultByte::succeeded(data, size) == (size >= 1 && data[0] != 0));
    FUZZ_CHECK(!ResultByte::succeeded(nullptr, size));
}

// The size reply (4 bytes), then pieces: a length byte and that many bytes;
// a length byte of 0 is the empty piece with which a card says it failed.
void backup(const quint8* data, int size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("backup.bin"));
    QFile::remove(path);
    if (size < 4)
        return;
    quint32 announced = 0;
    FUZZ_CHECK(BackupTransfer::announcedSize(data, 4, &announced));
    FUZZ_CHECK(
        !BackupTransfer::announcedSize(data, 3, &announced) && !BackupTransfer::announcedSize(data, 5, &announced));
    // A few kilobytes are enough to cross every piece boundary.
    const qint64 total = announced % 4096;
    QByteArray received;
    BackupTransfer::Piece last = BackupTransfer::Piece::More;
    {
        BackupTransfer transfer;
        FUZZ_CHECK(transfer.open(path, total));
        int pos = 4;
        while (pos < size && last == BackupTransfer::Piece::More) {
            const int length = qMin(int(data[pos]), size - pos - 1);
            last = transfer.addPiece(length > 0 ? data + pos + 1 : nullptr, length);
            received.append(reinterpret_cast<const char*>(data + pos + 1), length);
            pos += 1 + length;
            FUZZ_CHECK(last == BackupTransfer::Piece::Failed || transfer.receivedBytes() == received.size());
            if (last == BackupTransfer::Piece::More)
                FUZZ_CHECK(transfer.isReceiving() && received.size() < total && !QFile::exists(path));
        }
        if (last == BackupTransfer::Piece::More)
            transfer.abandon();
        FUZZ_CHECK(!transfer.isReceiving());
        FUZZ_CHECK(transfer.addPiece(data, 1) == BackupTransfer::Piece::Failed);
    }
    // The chosen name holds the whole backup or nothing, and nothing else is
    // left beside it.
    if (last == BackupTransfer::Piece::Complete) {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::ReadOnly));
        FUZZ_CHECK(received.size() >= total && file.readAll() == received);
    } else {
        FUZZ_CHECK(!QFile::exists(path));
    }
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    FUZZ_CHECK(left.size() <= 1 && (left.isEmpty() || left.first() == QLatin1String("backup.bin")));
}

void ipHistory(const quint8* data, int size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), size);
    const QStringList history = IpHistory::decode(bytes);
    FUZZ_CHECK(history.size() == (size + IpHistory::kRecordSize - 1) / IpHistory::kRecordSize);
    for (const QString& entry : history)
        FUZZ_CHECK(entry.size() <= IpHistory::kRecordSize && !entry.contains(QChar(0)));
    // What was read is written back record for record and reads the same; a
    // damaged record without its zero byte loses its last character.
    const QStringList again = IpHistory::decode(IpHistory::encode(history));
    FUZZ_CHECK(again.size() == history.size());
    for (int i = 0; i < history.size(); ++i)
        FUZZ_CHECK(again.at(i) == history.at(i).left(IpHistory::kRecordSize - 1));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 1 << 20)
        return 0;
    const int which = data[0] % 8;
    // The fuzzer's buffer ends where the reply ends, so a read past it is caught.
    const int n = int(size - 1);
    const quint8* bytes = data + 1;
    switch (which) {
    case 0: versionText(bytes, n); break;
    case 1: portRecords(bytes, n); break;
    case 2: deviceDate(bytes, n); break;
    case 3: consoleAnswer(bytes, n); break;
    case 4: serialReceived(bytes, n); break;
    case 5: resultByte(bytes, n); break;
    case 6: backup(bytes, n); break;
    default: ipHistory(bytes, n); break;
    }
    return 0;
}
