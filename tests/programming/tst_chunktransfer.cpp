// The programming protocol without a window or a link: the version rules
// (the transfer a card takes, the batch's Version column), the chunk state
// machine on real image files, and the backup file that appears only when
// complete.

#include "packagebuilder.h"
#include "programming/backuptransfer.h"
#include "programming/chunktransfer.h"
#include "programming/versiontext.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

// The chunk as it leaves: a copy, which the next read must not change.
static ChunkTransfer::Next nextChunk(ChunkTransfer& transfer, QByteArray* data)
{
    const ChunkTransfer::Next next = transfer.nextChunk();
    *data = transfer.lastChunk();
    return next;
}

class TestChunkTransfer : public QObject {
    Q_OBJECT

private slots:
    void init();

    void versionPicksTheTransfer_data();
    void versionPicksTheTransfer();
    void versionWord_data();
    void versionWord();

    void chunking_data();
    void chunking();
    void resendsAreIdenticalAndCounted();
    void imageThatShrinksIsAReadError();
    void imageTooLargeForTheSizeField();
    void percentText_data();
    void percentText();

    void announcedSize_data();
    void announcedSize();
    void backupInPiecesBeyondTheAnnouncedSize();
    void failedBackupLeavesNoFileAndKeepsTheOldOne_data();
    void failedBackupLeavesNoFileAndKeepsTheOldOne();
    void backupIntoUnwritableFolder();

private:
    QString image(const QByteArray& bytes);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestChunkTransfer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestChunkTransfer::image(const QByteArray& bytes)
{
    const QString path = m_dir->filePath(QStringLiteral("image.bin"));
    return PackageBuilder::write(path, bytes) ? path : QString();
}

void TestChunkTransfer::versionPicksTheTransfer_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("old");
    QTest::newRow("1.2.2 is old") << QByteArray("v1.2.2 20250101") << true;
    QTest::newRow("1.2.3 is new") << QByteArray("v1.2.3 20250101") << false;
    QTest::newRow("no text after the numbers") << QByteArray("v1.0.0") << true;
    QTest::newRow("patch above 255 is ORed in") << QByteArray("v1.1.300 x") << true;
    QTest::newRow("minor 259 reaches 1.3") << QByteArray("v1.259.0 x") << false;
    QTest::newRow("shorter than 6 bytes") << QByteArray("v1.0.") << false;
    QTest::newRow("two numbers only") << QByteArray("v1.2 build") << false;
    QTest::newRow("capital V") << QByteArray("V1.0.0 build") << false;
    QTest::newRow("garbage after zero byte") << QByteArray("v1.0.0 \0v9.9.9 z", 16) << true;
    QTest::newRow("negative major") << QByteArray("v-1.0.0 x") << true;
}

void TestChunkTransfer::versionPicksTheTransfer()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, old);
    QCOMPARE(VersionText::usesOldProtocol(reinterpret_cast<const quint8*>(reply.constData()), reply.size()), old);
}

// The batch's Version column: the first word that begins with v, else the whole reply.
void TestChunkTransfer::versionWord_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("version");
    QTest::newRow("version and build") << QByteArray("v2.4.1 20261130") << "v2.4.1";
    QTest::newRow("no word begins with v") << QByteArray("build 7 release") << "build 7 release";
    QTest::newRow("several words begin with v") << QByteArray("alpha v1.2 v3.4") << "v1.2";
    QTest::newRow("runs of spaces keep empty words") << QByteArray("  v9  x") << "v9";
    QTest::newRow("capital V is no version") << QByteArray("V1.0.0 Vx") << "V1.0.0 Vx";
}

void TestChunkTransfer::versionWord()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, version);
    QCOMPARE(VersionText::versionWord(reply), version);
}

void TestChunkTransfer::chunking_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("old");
    for (bool old : { false, true }) {
        const char* p = old ? "plain" : "sequenced";
        for (int size : { 0, 1, 1024, 5 * 1024 + 7 })
            QTest::addRow("%s %d", p, size) << size << old;
    }
}

void TestChunkTransfer::chunking()
{
    QFETCH(int, size);
    QFETCH(bool, old);
    const QByteArray bytes = PackageBuilder::payload(size);
    ChunkTransfer transfer;
    transfer.setOldProtocol(old);
    QVERIFY(transfer.open(image(bytes)));
    QCOMPARE(transfer.totalBytes(), qint64(size));
    QCOMPARE(transfer.allSent(), size == 0);

    QByteArray reassembled;
    int chunks = 0;
    QByteArray data;
    for (int guard = 0; guard < 100; ++guard) {
        const ChunkTransfer::Next next = nextChunk(transfer, &data);
        if (next == ChunkTransfer::Next::Nothing)
            break;
        QCOMPARE(int(next), int(ChunkTransfer::Next::Chunk));
        const QByteArray imageBytes = old ? data : data.mid(1);
        if (!old) {
            QCOMPARE(quint8(data.at(0)), quint8(chunks));
            QCOMPARE(transfer.lastChunk(), data);
        }
        QVERIFY(imageBytes.size() >= 1 && imageBytes.size() <= ChunkTransfer::kChunkSize);
        reassembled += imageBytes;
        ++chunks;
        QCOMPARE(transfer.sentBytes(), qint64(reassembled.size()));
        transfer.acknowledged();
    }
    QCOMPARE(reassembled, bytes);
    QCOMPARE(chunks, (size + 1023) / 1024);
    QVERIFY(transfer.allSent());
    // The acknowledgement of the last chunk finds nothing more to send.
    QCOMPARE(int(nextChunk(transfer, &data)), int(ChunkTransfer::Next::Nothing));
    QCOMPARE(transfer.sentBytes(), qint64(size));
}

void TestChunkTransfer::resendsAreIdenticalAndCounted()
{
    ChunkTransfer transfer;
    QVERIFY(transfer.open(image(PackageBuilder::payload(3000))));
    QByteArray first;
    QByteArray second;
    QCOMPARE(int(nextChunk(transfer, &first)), int(ChunkTransfer::Next::Chunk));
    transfer.acknowledged();
    QCOMPARE(int(nextChunk(transfer, &second)), int(ChunkTransfer::Next::Chunk));
    const qint64 sent = transfer.sentBytes();
    for (int i = 1; i <= ChunkTransfer::kMaxResends; ++i) {
        QCOMPARE(int(transfer.timeout()), int(ChunkTransfer::Timeout::Resend));
        QCOMPARE(transfer.retryCount(), i);
        QCOMPARE(transfer.lastChunk(), second);
        QCOMPARE(quint8(transfer.lastChunk().at(0)), quint8(1));
    }
    QCOMPARE(int(transfer.timeout()), int(ChunkTransfer::Timeout::GiveUp));
    QCOMPARE(transfer.sentBytes(), sent);

    // An acknowledgement gives the next chunk its own three resends.
    transfer.acknowledged();
    QCOMPARE(transfer.retryCount(), 0);
    QByteArray third;
    QCOMPARE(int(nextChunk(transfer, &third)), int(ChunkTransfer::Next::Chunk));
    QCOMPARE(int(transfer.timeout()), int(ChunkTransfer::Timeout::Resend));
    QCOMPARE(transfer.lastChunk(), third);
}

void TestChunkTransfer::imageThatShrinksIsAReadError()
{
    const QString path = image(PackageBuilder::payload(3000));
    ChunkTransfer transfer;
    QVERIFY(transfer.open(path));
    QCOMPARE(transfer.totalBytes(), qint64(3000));
    QVERIFY(QFile::resize(path, 1500));
    QByteArray data;
    QCOMPARE(int(nextChunk(transfer, &data)), int(ChunkTransfer::Next::Chunk));
    QCOMPARE(data.size(), 1 + 1024);
    QCOMPARE(int(nextChunk(transfer, &data)), int(ChunkTransfer::Next::Chunk));
    QCOMPARE(data.size(), 1 + 476);
    // The card was told 3000 bytes; waiting for it would never end.
    QCOMPARE(int(nextChunk(transfer, &data)), int(ChunkTransfer::Next::ReadError));
}

void TestChunkTransfer::imageTooLargeForTheSizeField()
{
    const QString path = m_dir->filePath(QStringLiteral("huge.bin"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    // Sparse: no disk space is used.
    if (!f.resize(ChunkTransfer::kMaxImageSize + 1))
        QSKIP("the file system holds no file this large");
    f.close();
    ChunkTransfer transfer;
    QVERIFY(!transfer.open(path));
    QVERIFY(!transfer.isOpen());
    QVERIFY(QFile::resize(path, ChunkTransfer::kMaxImageSize));
    QVERIFY(transfer.open(path));
    QCOMPARE(transfer.startCommandData(1), QByteArray::fromHex("01FFFFFFFF"));
}

void TestChunkTransfer::percentText_data()
{
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("maximum");
    QTest::addColumn<QString>("text");
    QTest::newRow("three eighths") << qint64(3) << qint64(8) << QStringLiteral("37.50");
    QTest::newRow("rounds down") << qint64(1) << qint64(3) << QStringLiteral("33.33");
    QTest::newRow("rounds up") << qint64(2) << qint64(3) << QStringLiteral("66.67");
    QTest::newRow("nothing to do") << qint64(0) << qint64(0) << QStringLiteral("100.00");
    QTest::newRow("beyond the announced size") << qint64(1200) << qint64(1000) << QStringLiteral("120.00");
    QTest::newRow("4 GiB image") << qint64(0xFFFFFFFFLL) << qint64(0xFFFFFFFFLL) << QStringLiteral("100.00");
}

void TestChunkTransfer::percentText()
{
    QFETCH(qint64, done);
    QFETCH(qint64, maximum);
    QFETCH(QString, text);
    QCOMPARE(ChunkTransfer::percentText(done, maximum), text);
}

void TestChunkTransfer::announcedSize_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("size");
    QTest::newRow("big-endian") << QByteArray::fromHex("01020304") << true << quint32(0x01020304);
    QTest::newRow("maximum") << QByteArray::fromHex("FFFFFFFF") << true << quint32(0xFFFFFFFF);
    QTest::newRow("3 bytes") << QByteArray::fromHex("000003") << false << quint32(0);
    QTest::newRow("5 bytes") << QByteArray::fromHex("00000003E8") << false << quint32(0);
}

void TestChunkTransfer::announcedSize()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, valid);
    QFETCH(quint32, size);
    quint32 got = 0;
    QCOMPARE(
        BackupTransfer::announcedSize(reinterpret_cast<const quint8*>(reply.constData()), reply.size(), &got), valid);
    if (valid)
        QCOMPARE(got, size);
}

void TestChunkTransfer::backupInPiecesBeyondTheAnnouncedSize()
{
    const QString path = m_dir->filePath(QStringLiteral("backup.bin"));
    const QByteArray bytes = PackageBuilder::payload(1200);
    BackupTransfer backup;
    QVERIFY(backup.open(path, 1000));
    QVERIFY(backup.isReceiving());
    auto piece = [&](int from, int count) {
        return backup.addPiece(reinterpret_cast<const quint8*>(bytes.constData()) + from, count);
    };
    QCOMPARE(int(piece(0, 600)), int(BackupTransfer::Piece::More));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(int(piece(600, 600)), int(BackupTransfer::Piece::Complete));
    QVERIFY(!backup.isReceiving());
    QCOMPARE(backup.receivedBytes(), qint64(1200));
    QCOMPARE(PackageBuilder::read(path), bytes);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList { "backup.bin" });
}

void TestChunkTransfer::failedBackupLeavesNoFileAndKeepsTheOldOne_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("emptyPiece");
    QTest::newRow("empty piece, new file") << false << true;
    QTest::newRow("empty piece, existing file") << true << true;
    QTest::newRow("abandoned, new file") << false << false;
    QTest::newRow("abandoned, existing file") << true << false;
}

void TestChunkTransfer::failedBackupLeavesNoFileAndKeepsTheOldOne()
{
    QFETCH(bool, existing);
    QFETCH(bool, emptyPiece);
    const QString path = m_dir->filePath(QStringLiteral("backup.bin"));
    if (existing)
        QVERIFY(PackageBuilder::write(path, "the technician's earlier backup"));
    {
        BackupTransfer backup;
        QVERIFY(backup.open(path, 5000));
        const QByteArray bytes(1000, 'b');
        QCOMPARE(int(backup.addPiece(reinterpret_cast<const quint8*>(bytes.constData()), bytes.size())),
            int(BackupTransfer::Piece::More));
        if (emptyPiece)
            QCOMPARE(int(backup.addPiece(nullptr, 0)), int(BackupTransfer::Piece::Failed));
        else
            backup.abandon();
        QVERIFY(!backup.isReceiving());
    }
    if (existing)
        QCOMPARE(PackageBuilder::read(path), QByteArray("the technician's earlier backup"));
    else
        QVERIFY(!QFile::exists(path));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), existing ? 1 : 0);
}

void TestChunkTransfer::backupIntoUnwritableFolder()
{
    BackupTransfer backup;
    QVERIFY(!backup.open(m_dir->filePath(QStringLiteral("no such folder/backup.bin")), 10));
    QVERIFY(!backup.isReceiving());
    const quint8 byte = 1;
    QCOMPARE(int(backup.addPiece(&byte, 1)), int(BackupTransfer::Piece::Failed));
}

QTEST_GUILESS_MAIN(TestChunkTransfer)
#include "tst_chunktransfer.moc"
