// The fixed parameters page on the wire: the real page and command link
// against the card simulator on loopback, real files in temporary folders,
// every box and file dialog answered by the recorder.

#include "pages/fixedparampage.h"
#include "pagewire.h"
#include "support/testaddresses.h"

#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>

namespace {

constexpr int kArea = 31;

QTableWidget* table(const FixedParamPage& page)
{
    return childOf<QTableWidget>(page, "tableWidgetParam");
}

// "k=v|k2=v2" as table rows, filled the way the technician's edits fill them.
void setRows(FixedParamPage& page, const QString& text)
{
    table(page)->setRowCount(0);
    for (const QString& part : text.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        click(page, "btnAdd");
        const int row = table(page)->rowCount() - 1;
        table(page)->item(row, 0)->setText(part.section(QLatin1Char('='), 0, 0));
        table(page)->item(row, 1)->setText(part.section(QLatin1Char('='), 1));
    }
}

QString rows(const FixedParamPage& page)
{
    QStringList parts;
    for (int row = 0; row < table(page)->rowCount(); ++row) {
        const QTableWidgetItem* key = table(page)->item(row, 0);
        const QTableWidgetItem* value = table(page)->item(row, 1);
        parts << (key ? key->text() : QStringLiteral("~")) + QLatin1Char('=')
                + (value ? value->text() : QStringLiteral("~"));
    }
    return parts.join(QLatin1Char('|'));
}

QString writeFile(const QTemporaryDir& dir, const char* name, const QByteArray& content)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

struct Rig : PageOnWire<FixedParamPage> {
    explicit Rig(const QString& address, const QStringList& options = {})
        : PageOnWire(address, &CommTcp::gotFixedParamRespond, options)
    {
    }
    bool read()
    {
        boxes.clear();
        click("btnRead");
        waitUntil([this] { return !boxes.boxes.isEmpty(); }, kWaitMs);
        return boxes.saw(QStringLiteral("Read data finished!"));
    }
};

} // namespace

class TestFixedParamPage : public QObject {
    Q_OBJECT

private slots:
    void readEditWriteReadBack();
    void readReplyFillsInAscendingKeyOrder();
    void failedReplies_data();
    void failedReplies();
    void macCompletedOnlyUnderTheExactKey();
    void badMacStopsTheWrite();
    void emptyItemQuestion_data();
    void emptyItemQuestion();
    void resetAndAdd();
    void backupThenLoadRestoresCompleteRows();
    void backupAndLoadEdges();
    void failedBackupAndLoadSaySo();

private:
    int m_case = 0;
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
};

void TestFixedParamPage::readEditWriteReadBack()
{
    // The card at 127.31.90.1 makes its serial number and MAC from its address.
    Rig b(TestAddresses::card(kArea, 90));
    QVERIFY(b.start());
    QVERIFY(b.read());
    QCOMPARE(b.lastBox(), "Information: Read data finished! [information, page]");
    QCOMPARE(rows(b.page), QStringLiteral("devserial=NQ02054657|ethaddr=02:00:7F:1F:5A:01|name=NMC-1"));

    table(b.page)->item(2, 1)->setText(QStringLiteral("Rack 4 card"));
    table(b.page)->item(1, 1)->setText(QStringLiteral("0a1b2c3d4e5f"));
    b.boxes.clear();
    b.click("btnWrite");
    QVERIFY(b.waitIn(15));
    QCOMPARE(b.in(15).last(),
        QByteArray(R"({"devserial":"NQ02054657","ethaddr":"0a:1b:2c:3d:4e:5f","name":"Rack 4 card"})"));
    QTRY_VERIFY_WITH_TIMEOUT(b.boxes.saw(QStringLiteral("Operation success!")), Rig::kWaitMs);
    QCOMPARE(b.lastBox(), "Information: Operation success! [warning, no parent]");

    table(b.page)->setRowCount(0);
    QVERIFY(b.read());
    QVERIFY(rows(b.page).endsWith(QLatin1String("|ethaddr=0a:1b:2c:3d:4e:5f|name=Rack 4 card")));
}

void TestFixedParamPage::readReplyFillsInAscendingKeyOrder()
{
    Rig b(nextAddress(), { "--fixed-params", R"({"name":"x","count":5,"ethaddr":"001A2B3C4D5E"})" });
    QVERIFY(b.start());
    setRows(b.page, QStringLiteral("old=1|older=2|oldest=3|gone=4"));
    QVERIFY(b.read());
    // A number shows as empty; a bare MAC gets its colons because filling
    // the cell counts as a change.
    QCOMPARE(rows(b.page), QStringLiteral("count=|ethaddr=00:1A:2B:3C:4D:5E|name=x"));
}

void TestFixedParamPage::failedReplies_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    const QString readFailed = QStringLiteral("Warning: Read data failed! [warning, page]");
    const QString writeFailed = QStringLiteral("Warning: Operation failed! [warning, no parent]");
    QTest::newRow("read reply an array") << QStringList { "--fixed-read-reply", "array" } << "btnRead" << readFailed;
    QTest::newRow("read reply without data")
        << QStringList { "--fixed-read-reply", "empty" } << "btnRead" << readFailed;
    QTest::newRow("write refused") << QStringList { "--fixed-refuse-write" } << "btnWrite" << writeFailed;
    QTest::newRow("write reply without result byte")
        << QStringList { "--reply-size", "15:0" } << "btnWrite" << writeFailed;
}

void TestFixedParamPage::failedReplies()
{
    QFETCH(QStringList, options);
    QFETCH(QString, button);
    QFETCH(QString, box);
    Rig b(nextAddress(), options);
    QVERIFY(b.start());
    setRows(b.page, QStringLiteral("name=kept|devserial=too"));
    b.click(qPrintable(button));
    QTRY_VERIFY_WITH_TIMEOUT(!b.boxes.boxes.isEmpty(), Rig::kWaitMs);
    QCOMPARE(b.boxes.boxes.size(), 1);
    QCOMPARE(b.lastBox(), box);
    QCOMPARE(rows(b.page), QStringLiteral("name=kept|devserial=too"));
}

void TestFixedParamPage::macCompletedOnlyUnderTheExactKey()
{
    FixedParamPage page;
    setRows(page, QStringLiteral("Ethaddr=001a2b3c4d5e|ethaddr=001a2b3c4d5e"));
    QCOMPARE(rows(page), QStringLiteral("Ethaddr=001a2b3c4d5e|ethaddr=00:1a:2b:3c:4d:5e"));
    // Changing the key afterwards changes nothing.
    table(page)->item(0, 0)->setText(QStringLiteral("ethaddr"));
    QCOMPARE(rows(page), QStringLiteral("ethaddr=001a2b3c4d5e|ethaddr=00:1a:2b:3c:4d:5e"));
}

void TestFixedParamPage::badMacStopsTheWrite()
{
    Rig b(nextAddress());
    QVERIFY(b.start());
    setRows(b.page, QStringLiteral("ethaddr=00:11:22:33:44"));
    b.click("btnWrite");
    QCOMPARE(b.boxes.boxes.size(), 1);
    QCOMPARE(b.lastBox(), "Warning: Invaild settings! [warning, page]");
    QVERIFY(b.drain());
    QVERIFY(b.in(15).isEmpty());
}

void TestFixedParamPage::emptyItemQuestion_data()
{
    QTest::addColumn<int>("answer"); // index of the button pressed
    QTest::newRow("Yes") << 0;
    QTest::newRow("No") << 1;
}

void TestFixedParamPage::emptyItemQuestion()
{
    QFETCH(int, answer);
    Rig b(nextAddress());
    QVERIFY(b.start());
    setRows(b.page, QStringLiteral("name=A|devserial=|=orphan"));
    b.boxes.answerNext(answer);
    b.click("btnWrite");
    QCOMPARE(b.boxes.boxes.size(), 1);
    const MessageBox::Box& box = b.boxes.boxes.first();
    QCOMPARE(box.kind, MessageBox::Kind::Custom);
    QCOMPARE(b.lastBox(),
        "Warning: There is item or value is empty! And these will no be set to device!\nDo you want to continue? "
        "[warning, page]");
    QCOMPARE(box.buttons, (QStringList { "Yes", "No" }));
    QCOMPARE(box.escapeIndex, 1);
    if (answer == 1) {
        QVERIFY(b.drain());
        QVERIFY(b.in(15).isEmpty());
        return;
    }
    QVERIFY(b.waitIn(15));
    QCOMPARE(b.in(15).last(), QByteArray(R"({"name":"A"})"));
    QTRY_VERIFY_WITH_TIMEOUT(b.boxes.saw(QStringLiteral("Operation success!")), Rig::kWaitMs);
}

void TestFixedParamPage::resetAndAdd()
{
    BoxRecorder boxes;
    FixedParamPage page;
    QSignalSpy sent(&page, &FixedParamPage::sendCmd);
    // Write on an empty table does nothing at all.
    click(page, "btnWrite");
    QVERIFY(boxes.boxes.isEmpty());
    QCOMPARE(sent.count(), 0);

    click(page, "btnAdd");
    table(page)->item(0, 0)->setText(QStringLiteral("extra"));
    click(page, "btnReset");
    QCOMPARE(rows(page), QStringLiteral("name=|devserial=|ethaddr="));
    click(page, "btnAdd");
    QCOMPARE(rows(page), QStringLiteral("name=|devserial=|ethaddr=|="));
    QCOMPARE(table(page)->currentRow(), 3);
    QCOMPARE(table(page)->currentColumn(), 0);
}

void TestFixedParamPage::backupThenLoadRestoresCompleteRows()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("card.ini"));
    Rig b(nextAddress());
    QVERIFY(b.start());
    setRows(
        b.page, QStringLiteral("name=NMC 7, rack 2|devserial=|ethaddr=00:1A:2B:3C:4D:5E|=orphan|a/b=slash|Zeta=last"));
    b.boxes.answerDialog(path);
    b.click("btnBackup");
    QCOMPARE(b.boxes.dialogs.size(), 1);
    QCOMPARE(b.boxes.dialogs.first().kind, DialogPrompt::Kind::SaveFile);
    QCOMPARE(b.boxes.dialogs.first().caption, QStringLiteral("Save fixed parameter file"));
    QCOMPARE(b.boxes.dialogs.first().filter, QStringLiteral("(*.ini)"));
    QCOMPARE(b.boxes.dialogs.first().directory, QCoreApplication::applicationDirPath());
    QCOMPARE(b.boxes.texts(), QStringList { QStringLiteral("Save fixed parameter success!") });
    QVERIFY(QFile::exists(path));

    b.click("btnReset");
    b.boxes.clear();
    b.boxes.answerDialog(path);
    b.click("btnLoad");
    QCOMPARE(b.boxes.dialogs.first().kind, DialogPrompt::Kind::OpenFile);
    QCOMPARE(b.boxes.dialogs.first().caption, QStringLiteral("Choose fixed parameter file"));
    QCOMPARE(b.boxes.boxes.size(), 1);
    QCOMPARE(b.lastBox(), "Information: Load fixed parameter success! [information, no parent]");
    QCOMPARE(rows(b.page), QStringLiteral("Zeta=last|a/b=slash|ethaddr=00:1A:2B:3C:4D:5E|name=NMC 7, rack 2"));

    // What was loaded goes to the card as it is.
    b.click("btnWrite");
    QVERIFY(b.waitIn(15));
    QCOMPARE(b.in(15).last(),
        QByteArray(R"({"Zeta":"last","a/b":"slash","ethaddr":"00:1A:2B:3C:4D:5E","name":"NMC 7, rack 2"})"));
}

void TestFixedParamPage::backupAndLoadEdges()
{
    BoxRecorder boxes;
    FixedParamPage page;
    click(page, "btnBackup");
    // Rows without key and value hold nothing to back up either.
    click(page, "btnAdd");
    click(page, "btnBackup");
    click(page, "btnReset");
    click(page, "btnBackup");
    const QString nothing = QStringLiteral("No content to backup!");
    QCOMPARE(boxes.texts(), (QStringList { nothing, nothing, nothing }));
    QVERIFY(boxes.dialogs.isEmpty());

    // Cancelled dialogs change nothing and say nothing.
    table(page)->item(0, 1)->setText(QStringLiteral("kept"));
    boxes.clear();
    click(page, "btnBackup");
    click(page, "btnLoad");
    QCOMPARE(boxes.dialogs.size(), 2);
    QVERIFY(boxes.boxes.isEmpty());
    QCOMPARE(table(page)->rowCount(), 3);

    // A file written by hand: a bare MAC is completed when it is loaded.
    QTemporaryDir dir;
    boxes.answerDialog(writeFile(dir, "hand.ini", "[fixed_param]\nethaddr=001a2b3c4d5e\n"));
    click(page, "btnLoad");
    QCOMPARE(rows(page), QStringLiteral("ethaddr=00:1a:2b:3c:4d:5e"));

    // A file without the group loads as an empty table.
    boxes.clear();
    boxes.answerDialog(writeFile(dir, "other.ini", "[General]\nname=outside\n[network]\nethaddr=00:11:22:33:44:55\n"));
    click(page, "btnLoad");
    QCOMPARE(boxes.texts(), QStringList { QStringLiteral("Load fixed parameter success!") });
    QCOMPARE(table(page)->rowCount(), 0);
}

void TestFixedParamPage::failedBackupAndLoadSaySo()
{
    BoxRecorder boxes;
    FixedParamPage page;
    click(page, "btnReset");
    table(page)->item(0, 1)->setText(QStringLiteral("kept"));
    QTemporaryDir dir;
    // A folder where the file should go: nothing can be written there.
    boxes.answerDialog(dir.path());
    click(page, "btnBackup");
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(describe(boxes.last(), &page), "Warning: Save fixed parameter failed! [warning, no parent]");
    QVERIFY(QDir(dir.path()).isEmpty());

    boxes.clear();
    boxes.answerDialog(dir.path());
    click(page, "btnLoad");
    QCOMPARE(boxes.texts(), QStringList { QStringLiteral("Load fixed parameter failed!") });
    QCOMPARE(rows(page), QStringLiteral("name=kept|devserial=|ethaddr="));
}

QTEST_MAIN(TestFixedParamPage)
#include "tst_fixedparampage.moc"
