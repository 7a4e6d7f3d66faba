// The serial port test page on the wire: the real page, wired to a real
// command link, against a simulated card whose serial port echoes or answers
// as a Modbus slave.

#include "link/crc16.h"
#include "pages/serialframes.h"
#include "pages/sptestpage.h"
#include "pagewire.h"
#include "support/testaddresses.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextBrowser>

namespace {

constexpr int kArea = 40;

struct Rig : PageOnWire<SPTestPage> {
    explicit Rig(const QString& address, const QStringList& options = {})
        : PageOnWire(address, &CommTcp::gotSPTestRespond, options)
    {
    }
    QPushButton* open() const { return child<QPushButton>("btnOpen"); }
};

struct Entry {
    QString text; // with line breaks as \n and non-breaking spaces as spaces
    QColor colour;
};

QList<Entry> entries(const SPTestPage& page)
{
    QList<Entry> result;
    auto* record = childOf<QTextBrowser>(page, "textBrowserRecord");
    for (QTextBlock b = record->document()->begin(); b.isValid(); b = b.next()) {
        if (b.text().isEmpty() && record->document()->blockCount() == 1)
            break;
        QString text = b.text();
        text.replace(QChar::LineSeparator, QLatin1Char('\n')).replace(QChar::Nbsp, QLatin1Char(' '));
        result.append(Entry { text, b.begin().fragment().charFormat().foreground().color() });
    }
    return result;
}

// "[yyyy-MM-dd hh:mm:ss.zzz] Send: \n<payload>\n"
void checkEntry(const Entry& e, const QString& kind, const QString& payload, const QColor& colour)
{
    const QRegularExpression stamp(QStringLiteral("^\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\] "));
    QVERIFY2(stamp.match(e.text).hasMatch(), qPrintable(e.text));
    QCOMPARE(e.text.mid(26), kind + QStringLiteral(" \n") + payload + QStringLiteral("\n"));
    QCOMPARE(e.colour, colour);
}

const QColor kBlue(0x3a, 0x5f, 0xcd);
const QColor kGreen(0x32, 0xcd, 0x32);
const quint8 kYes = 1;
const quint8 kNo = 0;

// Opens the card's port from the page and waits for the card's yes.
bool openPort(Rig& rig, const QString& name = QStringLiteral("COM1"))
{
    rig.child<QLineEdit>("lePortName")->setText(name);
    rig.open()->click();
    return waitUntil([&] { return rig.page.isPortOpen(); }, Rig::kWaitMs);
}

void send(Rig& rig, const char* mode, const QString& text)
{
    rig.child<QRadioButton>(mode)->click();
    rig.child<QLineEdit>("leSendData")->setText(text);
    rig.child<QPushButton>("btnSend")->click();
}

} // namespace

class TestSPTestPage : public QObject {
    Q_OBJECT

private slots:
    void everyFieldHasItsLabel();
    void openRequestOnTheWire_data();
    void openRequestOnTheWire();
    void openRefusedThenOpenedThenClosed();
    void openRepliesCountOnlyWhenAsked();
    void sendEncodingsOnTheWire_data();
    void sendEncodingsOnTheWire();
    void modbusRequestGetsItsAnswer();
    void sendWhileClosedWarnsAndSendsNothing();
    void emptyTextSendsNothing();
    void sendReplyZeroClosesThePort_data();
    void sendReplyZeroClosesThePort();
    void receiveEntries_data();
    void receiveEntries();
    void recordIsCapped();
    void retranslationKeepsIndexes();
    void portNameLimitedTo255Bytes();

private:
    int m_case = 0;
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
};

void TestSPTestPage::everyFieldHasItsLabel()
{
    SPTestPage page;
    const char* const pairs[][2] = { { "labelRS485", "checkBoxRS485" }, { "labelPortName", "lePortName" },
        { "labelBaudRate", "comboBoxBaudRate" }, { "labelDataBits", "comboBoxDataBits" },
        { "labelFlowControl", "comboBoxFlowControl" }, { "labelParity", "comboBoxParity" },
        { "labelStopBits", "comboBoxStopBits" } };
    for (const auto& pair : pairs) {
        QVERIFY2(childOf<QWidget>(page, pair[1]), pair[1]);
        QCOMPARE(childOf<QLabel>(page, pair[0])->buddy(), childOf<QWidget>(page, pair[1]));
    }
}

void TestSPTestPage::openRequestOnTheWire_data()
{
    QTest::addColumn<bool>("rs485");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<int>>("indexes"); // baud, data bits, flow control, parity, stop bits; -1 keeps
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("COM1, RS-485, defaults")
        << true << "COM1" << QList<int> { -1, -1, -1, -1, -1 } << hexBytes("01 04 43 4F 4D 31 03 03 00 00 00");
    QTest::newRow("parity before flow control: Hardware, Odd")
        << false << "P" << QList<int> { 7, 0, 1, 2, 1 } << hexBytes("00 01 50 07 00 02 01 01");
}

void TestSPTestPage::openRequestOnTheWire()
{
    QFETCH(bool, rs485);
    QFETCH(QString, name);
    QFETCH(QList<int>, indexes);
    QFETCH(QByteArray, data);
    Rig rig(nextAddress());
    QVERIFY(rig.start());
    rig.child<QCheckBox>("checkBoxRS485")->setChecked(rs485);
    const char* combos[]
        = { "comboBoxBaudRate", "comboBoxDataBits", "comboBoxFlowControl", "comboBoxParity", "comboBoxStopBits" };
    for (int i = 0; i < 5; ++i) {
        if (indexes.at(i) >= 0)
            rig.child<QComboBox>(combos[i])->setCurrentIndex(indexes.at(i));
    }
    QVERIFY(openPort(rig, name));
    QCOMPARE(rig.in(11).size(), 1);
    QCOMPARE(rig.in(11).first().toHex(' '), data.toHex(' '));
    QCOMPARE(rig.open()->text(), QStringLiteral("Disconnect"));
    QVERIFY(rig.boxes.boxes.isEmpty());
}

void TestSPTestPage::openRefusedThenOpenedThenClosed()
{
    Rig rig(nextAddress(), { QStringLiteral("--serial-ports"), QStringLiteral("COM1,COM2") });
    QVERIFY(rig.start());
    rig.child<QLineEdit>("lePortName")->setText(QStringLiteral("COM9"));
    rig.open()->click();
    QTRY_COMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.lastBox(), "Warning: Open device's serial port failed! [warning, no parent]");
    QVERIFY(!rig.page.isPortOpen());
    QCOMPARE(rig.open()->text(), QStringLiteral("Connect"));
    // A port the card has opens with the next request.
    QVERIFY(openPort(rig, QStringLiteral("COM2")));

    const int repliesBefore = rig.replies.size();
    rig.open()->click();
    // Closed before any answer of the card.
    QCOMPARE(rig.open()->text(), QStringLiteral("Connect"));
    QVERIFY(!rig.page.isPortOpen());
    QTRY_COMPARE(rig.in(11).size(), 3);
    QCOMPARE(rig.in(11).last(), QByteArray());
    // The card's answer to the close does not open the port again.
    QTRY_COMPARE(rig.replies.size(), repliesBefore + 1);
    QCOMPARE(rig.out(11).last(), hexBytes("01"));
    QVERIFY(!rig.page.isPortOpen());
    QCOMPARE(rig.open()->text(), QStringLiteral("Connect"));
    QCOMPARE(rig.boxes.boxes.size(), 1);
}

void TestSPTestPage::openRepliesCountOnlyWhenAsked()
{
    BoxRecorder boxes;
    SPTestPage page;
    auto* open = childOf<QPushButton>(page, "btnOpen");
    // Answers nobody asked for change nothing.
    page.handleRespond(11, &kYes, 1);
    QVERIFY(!page.isPortOpen());
    page.handleRespond(11, &kNo, 1);
    QVERIFY(boxes.boxes.isEmpty());
    open->click();
    page.handleRespond(11, &kYes, 1);
    QVERIFY(page.isPortOpen());
}

void TestSPTestPage::sendEncodingsOnTheWire_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("shown");
    const auto row = [](const char* mode, const char* text, const char* wire, const char* shown) {
        QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(mode + 2), QLatin1String(text))))
            << QString::fromLatin1(mode) << QString::fromLatin1(text) << hexBytes(wire) << QString::fromLatin1(shown);
    };
    row("rbModbus", "01 03 00 00 00 0A", "01 03 00 00 00 0A C5 CD", "01 03 00 00 00 0a c5 cd ");
    row("rbHex", "01  02", "01 00 02", "01 00 02 ");
    row("rbHex", "1FF", "FF", "ff ");
    row("rbHex", "zz", "00", "00 ");
    row("rbASCII", "a<b", "61 3C 62", "a<b");
}

void TestSPTestPage::sendEncodingsOnTheWire()
{
    QFETCH(QString, mode);
    QFETCH(QString, text);
    QFETCH(QByteArray, wire);
    QFETCH(QString, shown);
    Rig rig(nextAddress());
    QVERIFY(rig.start());
    QVERIFY(openPort(rig));
    send(rig, qPrintable(mode), text);
    QTRY_COMPARE(rig.in(12).size(), 1);
    QCOMPARE(rig.in(12).first().toHex(' '), wire.toHex(' '));
    // The card's port echoes the bytes; the record shows both ways.
    QTRY_COMPARE(entries(rig.page).size(), 2);
    const QList<Entry> e = entries(rig.page);
    checkEntry(e.at(0), QStringLiteral("Send:"), shown, kBlue);
    const QString echoed = mode == QLatin1String("rbASCII") ? QString::fromUtf8(wire) : shown;
    checkEntry(e.at(1), QStringLiteral("Receive:"), echoed, kGreen);
    QVERIFY(rig.page.isPortOpen());
    QVERIFY(rig.boxes.boxes.isEmpty());
}

void TestSPTestPage::modbusRequestGetsItsAnswer()
{
    Rig rig(nextAddress(),
        { QStringLiteral("--serial-mode"), QStringLiteral("modbus"), QStringLiteral("--modbus-registers"),
            QStringLiteral("0-19") });
    QVERIFY(rig.start());
    QVERIFY(openPort(rig));
    // A request with a wrong CRC gets no answer; the valid one after it does.
    send(rig, "rbHex", QStringLiteral("01 03 00 00 00 0A C5 CE"));
    send(rig, "rbModbus", QStringLiteral("01 03 00 00 00 0A"));
    QTRY_COMPARE(rig.out(13).size(), 1);
    QCOMPARE(rig.out(12).size(), 2);
    const QByteArray answer = rig.out(13).first();
    // Slave 1, function 3, 20 bytes: registers 0 to 9 hold their own address.
    QByteArray expected = hexBytes("01 03 14 0000 0001 0002 0003 0004 0005 0006 0007 0008 0009");
    const quint16 crc = crc16Modbus(expected);
    expected.append(char(crc & 0xFF)).append(char(crc >> 8));
    QCOMPARE(answer.toHex(' '), expected.toHex(' '));
    QTRY_COMPARE(entries(rig.page).size(), 3);
    checkEntry(
        entries(rig.page).at(2), QStringLiteral("Receive:"), QString::fromLatin1(expected.toHex(' ') + ' '), kGreen);
}

void TestSPTestPage::sendWhileClosedWarnsAndSendsNothing()
{
    Rig rig(nextAddress());
    QVERIFY(rig.start());
    send(rig, "rbHex", QStringLiteral("01 02"));
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.lastBox(), "Warning: Port not opened! [warning, no parent]");
    QCOMPARE(rig.boxes.last()->buttons, QStringList { QStringLiteral("Sure") });
    QVERIFY(entries(rig.page).isEmpty());
    // A frame sent after it is the first the card sees.
    rig.open()->click();
    QTRY_COMPARE(rig.sim.frames().size(), 1);
    QCOMPARE(rig.sim.frames().first().value(QStringLiteral("cmd")).toInt(), 11);
}

void TestSPTestPage::emptyTextSendsNothing()
{
    BoxRecorder boxes;
    SPTestPage page;
    QSignalSpy sent(&page, &SPTestPage::sendCmd);
    childOf<QPushButton>(page, "btnOpen")->click();
    page.handleRespond(11, &kYes, 1);
    QVERIFY(page.isPortOpen());
    sent.clear();
    childOf<QPushButton>(page, "btnSend")->click();
    QCOMPARE(sent.count(), 0);
    QVERIFY(boxes.boxes.isEmpty());
    QVERIFY(entries(page).isEmpty());

    // Return in the data field sends like the button.
    auto* edit = childOf<QLineEdit>(page, "leSendData");
    edit->setText(QStringLiteral("0a"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(sent.count(), 1);
    QCOMPARE(sent.first().at(0).toInt(), 12);
    QCOMPARE(sent.first().at(1).toByteArray(), hexBytes("0A"));
}

void TestSPTestPage::sendReplyZeroClosesThePort_data()
{
    QTest::addColumn<bool>("noDataByte");
    QTest::newRow("reply 0 from the card") << false;
    QTest::newRow("reply without data byte") << true;
}

void TestSPTestPage::sendReplyZeroClosesThePort()
{
    QFETCH(bool, noDataByte);
    const QString address = nextAddress();
    Rig rig(address);
    QVERIFY(rig.start());
    QVERIFY(openPort(rig));
    rig.sim.inSimulator([&](CardSimulator& sim) {
        if (noDataByte)
            sim.card(address)->config().set(QStringLiteral("reply-size"), QStringLiteral("12:0"));
        else
            sim.card(address)->config().set(QStringLiteral("serial-send-fail"), QStringLiteral("1"));
    });
    send(rig, "rbHex", QStringLiteral("01"));
    QTRY_COMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.out(12).first(), noDataByte ? QByteArray() : hexBytes("00"));
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.lastBox(), "Warning: Send data to device's serial port failed! [warning, no parent]");
    QVERIFY(!rig.page.isPortOpen());
    QCOMPARE(rig.open()->text(), QStringLiteral("Connect"));
    // Now closed, the next send only warns.
    const int sends = rig.in(12).size();
    send(rig, "rbHex", QStringLiteral("01"));
    QVERIFY(rig.boxes.saw(QStringLiteral("Port not opened!")));
    QVERIFY(rig.drain());
    QCOMPARE(rig.in(12).size(), sends);
}

void TestSPTestPage::receiveEntries_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("shown");
    QTest::newRow("nothing received") << "rbHex" << QByteArray() << "";
    QTest::newRow("ascii is UTF-8") << "rbASCII" << QByteArray("t=25\xc2\xb0") + "C" << QStringLiteral("t=25\u00b0C");
}

void TestSPTestPage::receiveEntries()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, data);
    QFETCH(QString, shown);
    SPTestPage page;
    childOf<QRadioButton>(page, qPrintable(mode))->click();
    // Received data is recorded whatever the port state.
    feed(page, 13, data);
    const QList<Entry> e = entries(page);
    QCOMPARE(e.size(), 1);
    checkEntry(e.first(), QStringLiteral("Receive:"), shown, kGreen);
}

void TestSPTestPage::recordIsCapped()
{
    SPTestPage page;
    const int total = SPTestPage::kMaxRecordEntries + 3;
    for (int i = 0; i < total; ++i) {
        const quint8 bytes[] = { quint8(i >> 8), quint8(i) };
        page.handleRespond(13, bytes, 2);
    }
    const QList<Entry> e = entries(page);
    QCOMPARE(e.size(), SPTestPage::kMaxRecordEntries);
    // The three oldest are gone, the newest is last.
    QVERIFY(e.first().text.endsWith(QStringLiteral("00 03 \n")));
    QByteArray newest;
    newest.append(char((total - 1) >> 8)).append(char(total - 1));
    QVERIFY(e.last().text.endsWith(SerialFrames::hexPayload(newest) + QLatin1Char('\n')));
}

void TestSPTestPage::retranslationKeepsIndexes()
{
    BoxRecorder boxes;
    SPTestPage page;
    auto* flow = childOf<QComboBox>(page, "comboBoxFlowControl");
    auto* parity = childOf<QComboBox>(page, "comboBoxParity");
    auto* open = childOf<QPushButton>(page, "btnOpen");
    flow->setCurrentIndex(2);
    parity->setCurrentIndex(1);
    open->click();
    page.handleRespond(11, &kYes, 1);

    MarkingTranslator translator("SPTestPage");
    QCoreApplication::installTranslator(&translator);
    QCoreApplication::processEvents();
    QCOMPARE(open->text(), QStringLiteral("~Disconnect"));
    QCOMPARE(flow->count(), 3);
    QCOMPARE(flow->currentIndex(), 2);
    QCOMPARE(flow->currentText(), QStringLiteral("~Software"));
    QCOMPARE(parity->currentText(), QStringLiteral("~Even"));

    QCoreApplication::removeTranslator(&translator);
    QCoreApplication::processEvents();
    QCOMPARE(flow->currentText(), QStringLiteral("Software"));
    QCOMPARE(open->text(), QStringLiteral("Disconnect"));

    // The open request still carries the chosen indexes.
    QSignalSpy sent(&page, &SPTestPage::sendCmd);
    open->click(); // close
    open->click(); // open again
    QCOMPARE(sent.count(), 2);
    QCOMPARE(sent.at(1).at(1).toByteArray(), hexBytes("00 00 03 03 01 02 00"));
}

void TestSPTestPage::portNameLimitedTo255Bytes()
{
    SPTestPage page;
    page.show();
    auto* edit = childOf<QLineEdit>(page, "lePortName");
    QTest::keyClicks(edit, QString(300, QLatin1Char('a')));
    QCOMPARE(edit->text().size(), 255);
    edit->clear();
    // Two bytes a character: 127 of them fit, the 128th does not.
    for (int i = 0; i < 130; ++i)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_Eacute, QString(QChar(0xe9)), Qt::NoModifier);
    QCOMPARE(edit->text(), QString(127, QChar(0xe9)));

    QSignalSpy sent(&page, &SPTestPage::sendCmd);
    childOf<QPushButton>(page, "btnOpen")->click();
    QCOMPARE(sent.count(), 1);
    const QByteArray data = sent.first().at(1).toByteArray();
    QCOMPARE(int(quint8(data.at(1))), 254);
    QCOMPARE(data.size(), 7 + 254);
}

QTEST_MAIN(TestSPTestPage)
#include "tst_sptestpage.moc"
