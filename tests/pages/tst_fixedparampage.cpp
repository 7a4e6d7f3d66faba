// The fixed parameters page on the wire: the real page and command link
// against the card simulator on loopback, real files in temporary folders,
// every box and file dialog answered by the recorder.

#include "link/commtcp.h"
#include "pages/fixedparampage.h"
#include "support/boxrecorder.h"
#include "support/simulatorfixture.h"
#include "support/testaddresses.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kArea = 31;
constexpr int kWaitMs = 5000;

struct Bench {
    explicit Bench(const QString& address, const QStringList& cardOptions = {})
        : sim([&] {
            QStringList args { QStringLiteral("--listen"), address };
            for (const QString& option : cardOptions)
                args << QStringLiteral("--card") << address + QLatin1Char(':') + option;
            return args;
        }())
    {
        QString error;
        started = sim.start(&error);
        if (!started)
            qWarning("simulator: %s", qPrintable(error));
        QObject::connect(&page, &FixedParamPage::sendCmd, &link, &CommTcp::send);
        QObject::connect(&link, &CommTcp::gotFixedParamRespond, &page, &FixedParamPage::handleRespond);
        link.connectToDevice(address);
        page.show();
        table = page.findChild<QTableWidget*>(QStringLiteral("tableWidgetParam"));
    }

    void click(const char* name)
    {
        QTest::mouseClick(page.findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
    }

    // "k=v|k2=v2" as table rows, filled the way the technician's edits fill them.
    void setRows(const QString& text)
    {
        table->setRowCount(0);
        for (const QString& part : text.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
            click("btnAdd");
            const int row = table->rowCount() - 1;
            table->item(row, 0)->setText(part.section(QLatin1Char('='), 0, 0));
            table->item(row, 1)->setText(part.section(QLatin1Char('='), 1));
        }
    }
    QString rows() const
    {
        QStringList parts;
        for (int row = 0; row < table->rowCount(); ++row) {
            const QTableWidgetItem* key = table->item(row, 0);
            const QTableWidgetItem* value = table->item(row, 1);
            parts << (key ? key->text() : QStringLiteral("~")) + QLatin1Char('=')
                    + (value ? value->text() : QStringLiteral("~"));
        }
        return parts.join(QLatin1Char('|'));
    }
    bool waitForFrame(int cmd, int count = 0)
    {
        QElapsedTimer t;
        t.start();
        while (sim.frames(QStringLiteral("in"), cmd).size() <= count && t.elapsed() < kWaitMs)
            QTest::qWait(5);
        return sim.frames(QStringLiteral("in"), cmd).size() > count;
    }
    // Everything the page sent before an unrelated command has reached the
    // card once the card has seen that command.
    bool drain() { return (link.send(3), waitForFrame(3)); }
    QByteArray lastData(int cmd) const
    {
        const auto frames = sim.frames(QStringLiteral("in"), cmd);
        return frames.isEmpty()
            ? QByteArray("<none>")
            : QByteArray::fromHex(frames.last().value(QStringLiteral("data")).toString().toLatin1());
    }
    bool read()
    {
        boxes.clear();
        click("btnRead");
        QElapsedTimer t;
        t.start();
        while (boxes.boxes.isEmpty() && t.elapsed() < kWaitMs)
            QTest::qWait(5);
        return boxes.saw(QStringLiteral("Read data finished!"));
    }

    BoxRecorder boxes;
    SimulatorFixture sim;
    bool started = false;
    CommTcp link;
    FixedParamPage page;
    QTableWidget* table = nullptr;
};

} // namespace

class TestFixedParamPage : public QObject {
    Q_OBJECT

private slots:
    void readEditWriteReadBack();
    void readReplyFillsInAscendingKeyOrder();
    void readRepliesThatAreNoObject_data();
    void readRepliesThatAreNoObject();
    void macCompletedOnlyUnderTheExactKey_data();
    void macCompletedOnlyUnderTheExactKey();
    void macCompletedWhileTyping();
    void writeRules_data();
    void writeRules();
    void emptyItemQuestion_data();
    void emptyItemQuestion();
    void writeReplies_data();
    void writeReplies();
    void resetAndAdd();
    void backupThenLoadRestoresCompleteRows();
    void backupAndLoadEdges();
    void loadWithoutTheGroupGivesAnEmptyTable();
    void failedBackupAndLoadSaySo();

private:
    int m_case = 0;
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
};

void TestFixedParamPage::readEditWriteReadBack()
{
    const QString address = TestAddresses::card(kArea, 90);
    QCOMPARE(address, QStringLiteral("127.31.90.1"));
    Bench b(address);
    QVERIFY(b.started);
    QVERIFY(b.read());
    QCOMPARE(b.boxes.last()->parent, &b.page);
    // The card at 127.31.90.1 makes its serial number and MAC from its address.
    QCOMPARE(b.rows(), QStringLiteral("devserial=NQ02054657|ethaddr=02:00:7F:1F:5A:01|name=NMC-1"));

    b.table->item(2, 1)->setText(QStringLiteral("Rack 4 card"));
    b.table->item(1, 1)->setText(QStringLiteral("0a1b2c3d4e5f"));
    b.boxes.clear();
    b.click("btnWrite");
    QVERIFY(b.waitForFrame(15));
    const QByteArray sent = b.lastData(15);
    QCOMPARE(sent, QByteArray(R"({"devserial":"NQ02054657","ethaddr":"0a:1b:2c:3d:4e:5f","name":"Rack 4 card"})"));
    QTRY_VERIFY_WITH_TIMEOUT(b.boxes.saw(QStringLiteral("Operation success!")), kWaitMs);
    QCOMPARE(b.boxes.last()->title, QStringLiteral("Information"));
    QVERIFY(!b.boxes.last()->parent);

    b.table->setRowCount(0);
    QVERIFY(b.read());
    QVERIFY(b.rows().endsWith(QLatin1String("|ethaddr=0a:1b:2c:3d:4e:5f|name=Rack 4 card")));
}

void TestFixedParamPage::readReplyFillsInAscendingKeyOrder()
{
    Bench b(nextAddress(), { QStringLiteral(R"(fixed-params={"name":"x","count":5,"ethaddr":"001A2B3C4D5E"})") });
    QVERIFY(b.started);
    b.setRows(QStringLiteral("old=1|older=2|oldest=3|gone=4"));
    QVERIFY(b.read());
    // A number shows as empty; a bare MAC gets its colons because filling
    // the cell counts as a change.
    QCOMPARE(b.rows(), QStringLiteral("count=|ethaddr=00:1A:2B:3C:4D:5E|name=x"));
    QCOMPARE(b.table->item(1, 1)->textAlignment(), int(Qt::AlignCenter));
}

void TestFixedParamPage::readRepliesThatAreNoObject_data()
{
    QTest::addColumn<QString>("shape");
    QTest::newRow("array") << "array";
    QTest::newRow("scalar") << "scalar";
    QTest::newRow("cut JSON") << "broken";
    QTest::newRow("no data") << "empty";
}

void TestFixedParamPage::readRepliesThatAreNoObject()
{
    QFETCH(QString, shape);
    Bench b(nextAddress(), { QStringLiteral("fixed-read-reply=") + shape });
    QVERIFY(b.started);
    b.setRows(QStringLiteral("name=kept|devserial=too"));
    QVERIFY(!b.read());
    QCOMPARE(b.boxes.texts(), QStringList { QStringLiteral("Read data failed!") });
    QCOMPARE(b.boxes.last()->title, QStringLiteral("Warning"));
    QCOMPARE(b.boxes.last()->parent, &b.page);
    QCOMPARE(b.rows(), QStringLiteral("name=kept|devserial=too"));
}

void TestFixedParamPage::macCompletedOnlyUnderTheExactKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ethaddr") << "ethaddr"
                             << "001a2b3c4d5e"
                             << "00:1a:2b:3c:4d:5e";
    QTest::newRow("Ethaddr") << "Ethaddr"
                             << "001a2b3c4d5e"
                             << "001a2b3c4d5e";
}

void TestFixedParamPage::macCompletedOnlyUnderTheExactKey()
{
    QFETCH(QString, key);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    FixedParamPage page;
    auto* table = page.findChild<QTableWidget*>(QStringLiteral("tableWidgetParam"));
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnAdd")), Qt::LeftButton);
    table->item(0, 0)->setText(key);
    table->item(0, 1)->setText(typed);
    QCOMPARE(table->item(0, 1)->text(), shown);
    // Changing the key afterwards changes nothing.
    table->item(0, 0)->setText(QStringLiteral("ethaddr"));
    QCOMPARE(table->item(0, 1)->text(), shown);
}

void TestFixedParamPage::macCompletedWhileTyping()
{
    FixedParamPage page;
    page.show();
    auto* table = page.findChild<QTableWidget*>(QStringLiteral("tableWidgetParam"));
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnReset")), Qt::LeftButton);
    // Type into the real cell editor and commit with Return, as the technician does.
    table->setCurrentCell(2, 1);
    table->editItem(table->item(2, 1));
    QLineEdit* editor = nullptr;
    QTRY_VERIFY((editor = qobject_cast<QLineEdit*>(QApplication::focusWidget())) != nullptr);
    QTest::keyClicks(editor, QStringLiteral("001a2b3c4d5e"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(table->item(2, 1)->text(), QStringLiteral("00:1a:2b:3c:4d:5e"));
}

void TestFixedParamPage::writeRules_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QByteArray>("sent"); // empty: "Invaild settings!" and nothing on the wire
    QTest::newRow("five MAC groups") << "ethaddr=00:11:22:33:44" << QByteArray();
    QTest::newRow("rule only for the exact key") << "Ethaddr=none" << QByteArray(R"({"Ethaddr":"none"})");
    QTest::newRow("later duplicate wins")
        << "name=upper|devserial=S|name=lower" << QByteArray(R"({"devserial":"S","name":"lower"})");
}

void TestFixedParamPage::writeRules()
{
    QFETCH(QString, rows);
    QFETCH(QByteArray, sent);
    Bench b(nextAddress());
    QVERIFY(b.started);
    b.setRows(rows);
    b.click("btnWrite");
    if (sent.isEmpty()) {
        QCOMPARE(b.boxes.texts(), QStringList { QStringLiteral("Invaild settings!") });
        QCOMPARE(b.boxes.last()->title, QStringLiteral("Warning"));
        QCOMPARE(b.boxes.last()->parent, &b.page);
        QVERIFY(b.drain());
        QVERIFY(b.sim.frames(QStringLiteral("in"), 15).isEmpty());
    } else {
        QVERIFY(b.waitForFrame(15));
        QCOMPARE(b.lastData(15), sent);
    }
}

void TestFixedParamPage::emptyItemQuestion_data()
{
    QTest::addColumn<int>("answer"); // index of the button pressed
    QTest::addColumn<bool>("sent");
    QTest::newRow("Yes") << 0 << true;
    QTest::newRow("No") << 1 << false;
}

void TestFixedParamPage::emptyItemQuestion()
{
    QFETCH(int, answer);
    QFETCH(bool, sent);
    Bench b(nextAddress());
    QVERIFY(b.started);
    b.setRows(QStringLiteral("name=A|devserial=|=orphan"));
    b.boxes.answerNext(answer);
    b.click("btnWrite");
    QCOMPARE(b.boxes.boxes.size(), 1);
    const MessageBox::Box& box = b.boxes.boxes.first();
    QCOMPARE(box.kind, MessageBox::Kind::Custom);
    QCOMPARE(box.title, QStringLiteral("Warning"));
    QCOMPARE(box.text,
        QStringLiteral("There is item or value is empty! And these will no be set to device!\nDo you want to "
                       "continue?"));
    QCOMPARE(box.buttons, (QStringList { "Yes", "No" }));
    QCOMPARE(box.escapeIndex, 1);
    QCOMPARE(box.parent, &b.page);
    if (sent) {
        QVERIFY(b.waitForFrame(15));
        QCOMPARE(b.lastData(15), QByteArray(R"({"name":"A"})"));
        QTRY_VERIFY_WITH_TIMEOUT(b.boxes.saw(QStringLiteral("Operation success!")), kWaitMs);
        // The card keeps what it was not sent.
        QVERIFY(b.read());
        QVERIFY(b.rows().startsWith(QLatin1String("devserial=NQ")));
        QVERIFY(b.rows().endsWith(QLatin1String("|name=A")));
    } else {
        QVERIFY(b.drain());
        QVERIFY(b.sim.frames(QStringLiteral("in"), 15).isEmpty());
    }
}

void TestFixedParamPage::writeReplies_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("result");
    QTest::newRow("refused") << "fixed-refuse-write"
                             << "Operation failed!";
    QTest::newRow("no result byte") << "fixed-write-reply-size=0"
                                    << "Operation failed!";
    QTest::newRow("extra bytes") << "fixed-write-reply-size=4"
                                 << "Operation success!";
}

void TestFixedParamPage::writeReplies()
{
    QFETCH(QString, option);
    QFETCH(QString, result);
    Bench b(nextAddress(), { option });
    QVERIFY(b.started);
    b.setRows(QStringLiteral("name=A"));
    b.click("btnWrite");
    QTRY_VERIFY_WITH_TIMEOUT(!b.boxes.boxes.isEmpty(), kWaitMs);
    QCOMPARE(b.boxes.texts(), QStringList { result });
    QCOMPARE(b.boxes.last()->title,
        result == QLatin1String("Operation success!") ? QStringLiteral("Information") : QStringLiteral("Warning"));
    QCOMPARE(b.boxes.last()->icon, QMessageBox::Warning);
}

void TestFixedParamPage::resetAndAdd()
{
    BoxRecorder boxes;
    FixedParamPage page;
    QSignalSpy sent(&page, &FixedParamPage::sendCmd);
    auto* table = page.findChild<QTableWidget*>(QStringLiteral("tableWidgetParam"));
    // Write on an empty table does nothing at all.
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnWrite")), Qt::LeftButton);
    QVERIFY(boxes.boxes.isEmpty());
    QCOMPARE(sent.count(), 0);

    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnAdd")), Qt::LeftButton);
    table->item(0, 0)->setText(QStringLiteral("extra"));
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnReset")), Qt::LeftButton);
    QCOMPARE(table->rowCount(), 3);
    QStringList keys;
    for (int row = 0; row < 3; ++row) {
        keys << table->item(row, 0)->text();
        QVERIFY(table->item(row, 1)->text().isEmpty());
        QCOMPARE(table->item(row, 0)->textAlignment(), int(Qt::AlignCenter));
    }
    QCOMPARE(keys, (QStringList { "name", "devserial", "ethaddr" }));
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnAdd")), Qt::LeftButton);
    QCOMPARE(table->rowCount(), 4);
    QVERIFY(table->item(3, 0) && table->item(3, 0)->text().isEmpty());
    QVERIFY(table->item(3, 1) && table->item(3, 1)->text().isEmpty());
    QCOMPARE(table->currentRow(), 3);
    QCOMPARE(table->currentColumn(), 0);
}

void TestFixedParamPage::backupThenLoadRestoresCompleteRows()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("card.ini"));
    Bench b(nextAddress());
    QVERIFY(b.started);
    b.setRows(QStringLiteral("name=NMC 7, rack 2|devserial=|ethaddr=00:1A:2B:3C:4D:5E|=orphan|a/b=slash|Zeta=last"));
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
    QCOMPARE(b.boxes.texts(), QStringList { QStringLiteral("Load fixed parameter success!") });
    QCOMPARE(b.boxes.last()->title, QStringLiteral("Information"));
    QCOMPARE(b.rows(), QStringLiteral("Zeta=last|a/b=slash|ethaddr=00:1A:2B:3C:4D:5E|name=NMC 7, rack 2"));

    // What was loaded goes to the card as it is.
    b.click("btnWrite");
    QVERIFY(b.waitForFrame(15));
    QCOMPARE(b.lastData(15),
        QByteArray(R"({"Zeta":"last","a/b":"slash","ethaddr":"00:1A:2B:3C:4D:5E","name":"NMC 7, rack 2"})"));
}

void TestFixedParamPage::backupAndLoadEdges()
{
    BoxRecorder boxes;
    FixedParamPage page;
    auto* table = page.findChild<QTableWidget*>(QStringLiteral("tableWidgetParam"));
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnBackup")), Qt::LeftButton);
    QCOMPARE(boxes.texts(), QStringList { QStringLiteral("No content to backup!") });
    QVERIFY(boxes.dialogs.isEmpty());

    // Cancelled dialogs change nothing and say nothing.
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnReset")), Qt::LeftButton);
    boxes.clear();
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnBackup")), Qt::LeftButton);
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnLoad")), Qt::LeftButton);
    QCOMPARE(boxes.dialogs.size(), 2);
    QVERIFY(boxes.boxes.isEmpty());
    QCOMPARE(table->rowCount(), 3);

    // A file written by hand: a bare MAC is completed when it is loaded.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hand.ini"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[fixed_param]\nethaddr=001a2b3c4d5e\n");
    f.close();
    boxes.answerDialog(path);
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnLoad")), Qt::LeftButton);
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("00:1a:2b:3c:4d:5e"));
}

void TestFixedParamPage::loadWithoutTheGroupGivesAnEmptyTable()
{
    BoxRecorder boxes;
    FixedParamPage page;
    auto* table = page.findChild<QTableWidget*>(QStringLiteral("tableWidgetParam"));
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnReset")), Qt::LeftButton);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("other.ini"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[General]\nname=outside\n[network]\nethaddr=00:11:22:33:44:55\n");
    f.close();
    boxes.answerDialog(path);
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnLoad")), Qt::LeftButton);
    QCOMPARE(boxes.texts(), QStringList { QStringLiteral("Load fixed parameter success!") });
    QCOMPARE(table->rowCount(), 0);
}

void TestFixedParamPage::failedBackupAndLoadSaySo()
{
    BoxRecorder boxes;
    FixedParamPage page;
    auto* table = page.findChild<QTableWidget*>(QStringLiteral("tableWidgetParam"));
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnReset")), Qt::LeftButton);
    table->item(0, 1)->setText(QStringLiteral("kept"));
    QTemporaryDir dir;
    // A folder where the file should go: nothing can be written there.
    boxes.answerDialog(dir.path());
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnBackup")), Qt::LeftButton);
    QCOMPARE(boxes.texts(), QStringList { QStringLiteral("Save fixed parameter failed!") });
    QCOMPARE(boxes.last()->title, QStringLiteral("Warning"));
    QVERIFY(QDir(dir.path()).isEmpty());

    boxes.clear();
    boxes.answerDialog(dir.path());
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnLoad")), Qt::LeftButton);
    QCOMPARE(boxes.texts(), QStringList { QStringLiteral("Load fixed parameter failed!") });
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("kept"));
}

QTEST_MAIN(TestFixedParamPage)
#include "tst_fixedparampage.moc"
