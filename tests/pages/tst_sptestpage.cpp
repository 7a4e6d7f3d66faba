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
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextBrowser>

namespace {

constexpr int kArea = 40;

using Rig = PageOnWire<SPTestPage>;

struct Entry {
    QString text; // with line breaks as \n and non-breaking spaces as spaces
    QColor colour;
};

QList<Entry> entries(const SPTestPage& page)
{
    QList<Entry> result;
    auto* record = page.findChild<QTextBrowser*>(QStringLiteral("textBrowserRecord"));
    for (QTextBlock b = record->document()->begin(); b.isValid(); b = b.next()) {
        if (b.text().isEmpty() && record->document()->blockCount() == 1)
            break;
        QString text = b.text();
        text.replace(QChar::LineSeparator, QLatin1Char('\n')).replace(QChar::Nbsp, QLatin1Char(' '));
        QColor colour;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().isValid() && !it.fragment().text().trimmed().isEmpty()) {
                colour = it.fragment().charFormat().foreground().color();
                break;
            }
        }
        result.append(Entry { text, colour });
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

// Opens the card's port from the page and waits for the card's yes.
bool openPort(Rig& rig, const QString& name = QStringLiteral("COM1"))
{
    rig.child<QLineEdit>("lePortName")->setText(name);
    rig.child<QPushButton>("btnOpen")->click();
    QElapsedTimer t;
    t.start();
    while (!rig.page.isPortOpen() && t.elapsed() < 5000)
        QTest::qWait(5);
    return rig.page.isPortOpen();
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
    void widgetsAndTexts_data();
    void widgetsAndTexts();
    void settingsLists();
    void openRequestOnTheWire_data();
    void openRequestOnTheWire();
    void disconnectClosesAtOnce();
    void openRefusedByTheCard();
    void openReplyWithoutDataIsAFailure();
    void strayOpenReplyChangesNothing();
    void sendEncodingsOnTheWire_data();
    void sendEncodingsOnTheWire();
    void modbusRequestGetsItsAnswer();
    void modbusSlaveStaysSilent_data();
    void modbusSlaveStaysSilent();
    void sendWhileClosedWarnsAndSendsNothing();
    void emptyTextSendsNothing();
    void sendReplyZeroClosesThePort_data();
    void sendReplyZeroClosesThePort();
    void receiveEntries_data();
    void receiveEntries();
    void recordIsCapped();
    void sendTypeFollowsTheCheckedButton();
    void retranslationKeepsIndexes();
    void portNameLimitedTo255Bytes();

private:
    int m_case = 0;
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
};

void TestSPTestPage::widgetsAndTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field"); // the label's buddy
    QTest::newRow("RS485") << "labelRS485"
                           << "RS485:"
                           << "checkBoxRS485";
    QTest::newRow("port name") << "labelPortName"
                               << "Port Name:"
                               << "lePortName";
    QTest::newRow("baud rate") << "labelBaudRate"
                               << "Buad Rate:"
                               << "comboBoxBaudRate";
    QTest::newRow("data bits") << "labelDataBits"
                               << "Data Bits:"
                               << "comboBoxDataBits";
    QTest::newRow("flow control") << "labelFlowControl"
                                  << "Flow Control:"
                                  << "comboBoxFlowControl";
    QTest::newRow("parity") << "labelParity"
                            << "Parity:"
                            << "comboBoxParity";
    QTest::newRow("stop bits") << "labelStopBits"
                               << "Stop Bits:"
                               << "comboBoxStopBits";
    QTest::newRow("clear") << "btnClear"
                           << "Clear"
                           << "";
    QTest::newRow("open") << "btnOpen"
                          << "Connect"
                          << "";
    QTest::newRow("hex") << "rbHex"
                         << "Hex"
                         << "";
    QTest::newRow("ascii") << "rbASCII"
                           << "ASCII"
                           << "";
    QTest::newRow("modbus") << "rbModbus"
                            << "Modbus"
                            << "";
    QTest::newRow("send") << "btnSend"
                          << "Send"
                          << "";
}

void TestSPTestPage::widgetsAndTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, field);
    SPTestPage page;
    auto* w = page.findChild<QWidget*>(name);
    QVERIFY(w);
    if (auto* label = qobject_cast<QLabel*>(w)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->buddy(), page.findChild<QWidget*>(field));
        QCOMPARE(label->alignment(), Qt::AlignRight | Qt::AlignVCenter);
    } else
        QCOMPARE(qobject_cast<QAbstractButton*>(w)->text(), text);
}

void TestSPTestPage::settingsLists()
{
    SPTestPage page;
    // The lists whose indexes the card reads, with their initial choices.
    auto items = [&page](const char* combo) {
        QStringList list;
        auto* c = page.findChild<QComboBox*>(QString::fromLatin1(combo));
        for (int i = 0; i < c->count(); ++i)
            list.append(c->itemText(i));
        return qMakePair(list, c->currentIndex());
    };
    using Choice = QPair<QStringList, int>;
    QCOMPARE(items("comboBoxBaudRate"),
        Choice(QStringList { "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200" }, 3));
    QCOMPARE(items("comboBoxDataBits"), Choice(QStringList { "5", "6", "7", "8" }, 3));
    QCOMPARE(items("comboBoxFlowControl"), Choice(QStringList { "None", "Hardware", "Software" }, 0));
    QCOMPARE(items("comboBoxParity"), Choice(QStringList { "None", "Even", "Odd" }, 0));
    QCOMPARE(items("comboBoxStopBits"), Choice(QStringList { "1", "2" }, 0));
    QVERIFY(page.findChild<QRadioButton*>(QStringLiteral("rbHex"))->isChecked());
    QCOMPARE(page.sendType(), 0);
    QVERIFY(page.findChild<QCheckBox*>(QStringLiteral("checkBoxRS485"))->text().isEmpty());
    QVERIFY(page.findChild<QLineEdit*>(QStringLiteral("lePortName"))->text().isEmpty());
    QVERIFY(page.findChild<QTextBrowser*>(QStringLiteral("textBrowserRecord"))->isReadOnly());
}

void TestSPTestPage::openRequestOnTheWire_data()
{
    QTest::addColumn<bool>("rs485");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<int>>("indexes"); // baud, data bits, flow control, parity, stop bits; -1 keeps
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("COM1, RS-485, defaults")
        << true << "COM1" << QList<int> { -1, -1, -1, -1, -1 } << hexBytes("01 04 43 4F 4D 31 03 03 00 00 00");
    QTest::newRow("empty name") << false << "" << QList<int> { -1, -1, -1, -1, -1 } << hexBytes("00 00 03 03 00 00 00");
    QTest::newRow("parity before flow control: Hardware, Odd")
        << false << "P" << QList<int> { 7, 0, 1, 2, 1 } << hexBytes("00 01 50 07 00 02 01 01");
}

void TestSPTestPage::openRequestOnTheWire()
{
    QFETCH(bool, rs485);
    QFETCH(QString, name);
    QFETCH(QList<int>, indexes);
    QFETCH(QByteArray, data);
    Rig rig(nextAddress(), &CommTcp::gotSPTestRespond);
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
    QCOMPARE(rig.child<QPushButton>("btnOpen")->text(), QStringLiteral("Disconnect"));
    QVERIFY(rig.boxes.boxes.isEmpty());
}

void TestSPTestPage::disconnectClosesAtOnce()
{
    Rig rig(nextAddress(), &CommTcp::gotSPTestRespond);
    QVERIFY(rig.start());
    QVERIFY(openPort(rig));
    const int repliesBefore = rig.replies.size();
    rig.child<QPushButton>("btnOpen")->click();
    // Closed before any answer of the card.
    QCOMPARE(rig.child<QPushButton>("btnOpen")->text(), QStringLiteral("Connect"));
    QVERIFY(!rig.page.isPortOpen());
    QTRY_COMPARE(rig.in(11).size(), 2);
    QCOMPARE(rig.in(11).last(), QByteArray());
    // The card's answer to the close does not open the port again.
    QTRY_COMPARE(rig.replies.size(), repliesBefore + 1);
    QCOMPARE(rig.out(11).last(), hexBytes("01"));
    QVERIFY(!rig.page.isPortOpen());
    QCOMPARE(rig.child<QPushButton>("btnOpen")->text(), QStringLiteral("Connect"));
    QVERIFY(rig.boxes.boxes.isEmpty());
}

void TestSPTestPage::openRefusedByTheCard()
{
    const QString address = nextAddress();
    Rig rig(address, &CommTcp::gotSPTestRespond, { QStringLiteral("--serial-ports"), QStringLiteral("COM1,COM2") });
    QVERIFY(rig.start());
    rig.child<QLineEdit>("lePortName")->setText(QStringLiteral("COM9"));
    rig.child<QPushButton>("btnOpen")->click();
    QTRY_COMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.boxes.last()->title, QStringLiteral("Warning"));
    QCOMPARE(rig.boxes.last()->text, QStringLiteral("Open device's serial port failed!"));
    QCOMPARE(rig.boxes.last()->icon, QMessageBox::Warning);
    QVERIFY(!rig.boxes.last()->parent);
    QVERIFY(!rig.page.isPortOpen());
    QCOMPARE(rig.child<QPushButton>("btnOpen")->text(), QStringLiteral("Connect"));
    // A port the card has opens with the next request.
    QVERIFY(openPort(rig, QStringLiteral("COM2")));
}

void TestSPTestPage::openReplyWithoutDataIsAFailure()
{
    BoxRecorder boxes;
    SPTestPage page;
    QSignalSpy sent(&page, &SPTestPage::sendCmd);
    page.findChild<QPushButton*>(QStringLiteral("btnOpen"))->click();
    QCOMPARE(sent.count(), 1);
    page.handleRespond(11, nullptr, 0);
    QVERIFY(!page.isPortOpen());
    QVERIFY(boxes.saw(QStringLiteral("Open device's serial port failed!")));
}

void TestSPTestPage::strayOpenReplyChangesNothing()
{
    BoxRecorder boxes;
    SPTestPage page;
    const quint8 yes = 1;
    const quint8 no = 0;
    page.handleRespond(11, &yes, 1);
    QVERIFY(!page.isPortOpen());
    page.handleRespond(11, &no, 1);
    QVERIFY(boxes.boxes.isEmpty());

    // Two open requests, two answers: both count.
    auto* open = page.findChild<QPushButton*>(QStringLiteral("btnOpen"));
    open->click();
    open->click();
    page.handleRespond(11, &no, 1);
    QVERIFY(!page.isPortOpen());
    page.handleRespond(11, &yes, 1);
    QVERIFY(page.isPortOpen());
    QCOMPARE(boxes.boxes.size(), 1);
    // Closing forgets what is still outstanding: the card's answer to the
    // close is not taken for an open.
    open->click();
    QVERIFY(!page.isPortOpen());
    page.handleRespond(11, &yes, 1);
    QVERIFY(!page.isPortOpen());
    QCOMPARE(open->text(), QStringLiteral("Connect"));
}

void TestSPTestPage::sendEncodingsOnTheWire_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("shown");
    QTest::newRow("modbus 01 03 00 00 00 0A")
        << "rbModbus"
        << "01 03 00 00 00 0A" << hexBytes("01 03 00 00 00 0A C5 CD") << "01 03 00 00 00 0a c5 cd ";
    QTest::newRow("hex, two spaces") << "rbHex"
                                     << "01  02" << hexBytes("01 00 02") << "01 00 02 ";
    QTest::newRow("hex 1FF") << "rbHex"
                             << "1FF" << hexBytes("FF") << "ff ";
    QTest::newRow("hex zz") << "rbHex"
                            << "zz" << hexBytes("00") << "00 ";
    QTest::newRow("ascii a<b") << "rbASCII"
                               << "a<b" << hexBytes("61 3C 62") << "a<b";
    QTest::newRow("ascii quotes and spaces")
        << "rbASCII"
        << "say \"hi\"  & 'bye'" << QByteArray("say \"hi\"  & 'bye'") << "say \"hi\"  & 'bye'";
}

void TestSPTestPage::sendEncodingsOnTheWire()
{
    QFETCH(QString, mode);
    QFETCH(QString, text);
    QFETCH(QByteArray, wire);
    QFETCH(QString, shown);
    Rig rig(nextAddress(), &CommTcp::gotSPTestRespond);
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
    Rig rig(nextAddress(), &CommTcp::gotSPTestRespond,
        { QStringLiteral("--serial-mode"), QStringLiteral("modbus"), QStringLiteral("--modbus-registers"),
            QStringLiteral("0-19") });
    QVERIFY(rig.start());
    QVERIFY(openPort(rig));
    send(rig, "rbModbus", QStringLiteral("01 03 00 00 00 0A"));
    QTRY_COMPARE(rig.out(13).size(), 1);
    const QByteArray answer = rig.out(13).first();
    // Slave 1, function 3, 20 bytes: registers 0 to 9 hold their own address.
    QByteArray expected = hexBytes("01 03 14 0000 0001 0002 0003 0004 0005 0006 0007 0008 0009");
    const quint16 crc = crc16Modbus(expected);
    expected.append(char(crc & 0xFF)).append(char(crc >> 8));
    QCOMPARE(answer.toHex(' '), expected.toHex(' '));
    QTRY_COMPARE(entries(rig.page).size(), 2);
    checkEntry(
        entries(rig.page).at(1), QStringLiteral("Receive:"), QString::fromLatin1(expected.toHex(' ') + ' '), kGreen);

    // A write, then the read sees it.
    send(rig, "rbModbus", QStringLiteral("01 06 00 02 12 34"));
    QTRY_COMPARE(rig.out(13).size(), 2);
    QCOMPARE(rig.out(13).at(1).left(6), hexBytes("01 06 00 02 12 34"));
    send(rig, "rbModbus", QStringLiteral("01 03 00 02 00 01"));
    QTRY_COMPARE(rig.out(13).size(), 3);
    QCOMPARE(rig.out(13).at(2).left(5), hexBytes("01 03 02 12 34"));
    // Beyond the registers: exception 2, illegal data address.
    send(rig, "rbModbus", QStringLiteral("01 03 00 13 00 02"));
    QTRY_COMPARE(rig.out(13).size(), 4);
    QCOMPARE(rig.out(13).at(3).left(3), hexBytes("01 83 02"));
}

void TestSPTestPage::modbusSlaveStaysSilent_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("text");
    QTest::newRow("another slave") << "rbModbus"
                                   << "02 03 00 00 00 01";
    QTest::newRow("wrong CRC") << "rbHex"
                               << "01 03 00 00 00 0A C5 CE";
    QTest::newRow("too short") << "rbHex"
                               << "01 03";
}

void TestSPTestPage::modbusSlaveStaysSilent()
{
    QFETCH(QString, mode);
    QFETCH(QString, text);
    Rig rig(nextAddress(), &CommTcp::gotSPTestRespond, { QStringLiteral("--serial-mode"), QStringLiteral("modbus") });
    QVERIFY(rig.start());
    QVERIFY(openPort(rig));
    send(rig, qPrintable(mode), text);
    // A valid request after it is answered, and only that one.
    send(rig, "rbModbus", QStringLiteral("01 03 00 05 00 01"));
    QTRY_COMPARE(rig.out(13).size(), 1);
    QCOMPARE(rig.out(13).first().left(5), hexBytes("01 03 02 00 05"));
    QCOMPARE(rig.out(12).size(), 2);
    QCOMPARE(rig.out(12).first(), hexBytes("01"));
}

void TestSPTestPage::sendWhileClosedWarnsAndSendsNothing()
{
    Rig rig(nextAddress(), &CommTcp::gotSPTestRespond);
    QVERIFY(rig.start());
    send(rig, "rbHex", QStringLiteral("01 02"));
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.boxes.last()->title, QStringLiteral("Warning"));
    QCOMPARE(rig.boxes.last()->text, QStringLiteral("Port not opened!"));
    QCOMPARE(rig.boxes.last()->buttons, QStringList { QStringLiteral("Sure") });
    QVERIFY(!rig.boxes.last()->parent);
    QVERIFY(entries(rig.page).isEmpty());
    // A frame sent after it is the first the card sees.
    rig.child<QPushButton>("btnOpen")->click();
    QTRY_COMPARE(rig.sim.frames().size(), 1);
    QCOMPARE(rig.sim.frames().first().value(QStringLiteral("cmd")).toInt(), 11);
}

void TestSPTestPage::emptyTextSendsNothing()
{
    BoxRecorder boxes;
    SPTestPage page;
    QSignalSpy sent(&page, &SPTestPage::sendCmd);
    page.findChild<QPushButton*>(QStringLiteral("btnOpen"))->click();
    const quint8 yes = 1;
    page.handleRespond(11, &yes, 1);
    QVERIFY(page.isPortOpen());
    sent.clear();
    page.findChild<QPushButton*>(QStringLiteral("btnSend"))->click();
    QCOMPARE(sent.count(), 0);
    QVERIFY(boxes.boxes.isEmpty());
    QVERIFY(entries(page).isEmpty());

    // Return in the data field sends like the button.
    auto* edit = page.findChild<QLineEdit*>(QStringLiteral("leSendData"));
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
    Rig rig(address, &CommTcp::gotSPTestRespond);
    QVERIFY(rig.start());
    QVERIFY(openPort(rig));
    if (noDataByte) {
        rig.page.handleRespond(12, nullptr, 0);
    } else {
        rig.sim.inSimulator([&](CardSimulator& sim) {
            sim.card(address)->config().set(QStringLiteral("serial-send-fail"), QStringLiteral("1"));
        });
        send(rig, "rbHex", QStringLiteral("01"));
        QTRY_COMPARE(rig.boxes.boxes.size(), 1);
        QCOMPARE(rig.out(12).first(), hexBytes("00"));
    }
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.boxes.last()->title, QStringLiteral("Warning"));
    QCOMPARE(rig.boxes.last()->text, QStringLiteral("Send data to device's serial port failed!"));
    QVERIFY(!rig.page.isPortOpen());
    QCOMPARE(rig.child<QPushButton>("btnOpen")->text(), QStringLiteral("Connect"));
    // Now closed, the next send only warns.
    const int sends = rig.in(12).size();
    send(rig, "rbHex", QStringLiteral("01"));
    QVERIFY(rig.boxes.saw(QStringLiteral("Port not opened!")));
    QTest::qWait(20);
    QCOMPARE(rig.in(12).size(), sends);
}

void TestSPTestPage::receiveEntries_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("shown");
    QTest::newRow("nothing received, hex") << "rbHex" << QByteArray() << "";
    QTest::newRow("nothing received, ascii") << "rbASCII" << QByteArray() << "";
    QTest::newRow("hex") << "rbHex" << hexBytes("00 7F FF") << "00 7f ff ";
    QTest::newRow("modbus shows the crc unchecked")
        << "rbModbus" << hexBytes("01 03 02 00 05 00 00") << "01 03 02 00 05 00 00 ";
    QTest::newRow("ascii is UTF-8") << "rbASCII"
                                    << QByteArray("t=25\xc2\xb0"
                                                  "C")
                                    << QStringLiteral("t=25\u00b0C");
    QTest::newRow("ascii markup stays text") << "rbASCII" << QByteArray("<b>x</b>") << "<b>x</b>";
}

void TestSPTestPage::receiveEntries()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, data);
    QFETCH(QString, shown);
    SPTestPage page;
    page.findChild<QRadioButton*>(mode)->click();
    // Received data is recorded whatever the port state.
    page.handleRespond(13, reinterpret_cast<const quint8*>(data.constData()), data.size());
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

void TestSPTestPage::sendTypeFollowsTheCheckedButton()
{
    SPTestPage page;
    page.show();
    auto* hex = page.findChild<QRadioButton*>(QStringLiteral("rbHex"));
    auto* ascii = page.findChild<QRadioButton*>(QStringLiteral("rbASCII"));
    auto* modbus = page.findChild<QRadioButton*>(QStringLiteral("rbModbus"));
    QTest::mouseClick(modbus, Qt::LeftButton);
    QCOMPARE(page.sendType(), 2);
    QTest::mouseClick(ascii, Qt::LeftButton);
    QCOMPARE(page.sendType(), 1);
    ascii->setChecked(true); // no change
    QCOMPARE(page.sendType(), 1);
    hex->setChecked(true);
    QCOMPARE(page.sendType(), 0);
    QVERIFY(!ascii->isChecked() && !modbus->isChecked());
}

void TestSPTestPage::retranslationKeepsIndexes()
{
    BoxRecorder boxes;
    SPTestPage page;
    auto* flow = page.findChild<QComboBox*>(QStringLiteral("comboBoxFlowControl"));
    auto* parity = page.findChild<QComboBox*>(QStringLiteral("comboBoxParity"));
    flow->setCurrentIndex(2);
    parity->setCurrentIndex(1);
    page.findChild<QPushButton*>(QStringLiteral("btnOpen"))->click();
    const quint8 yes = 1;
    page.handleRespond(11, &yes, 1);

    MarkingTranslator translator("SPTestPage");
    QCoreApplication::installTranslator(&translator);
    QCoreApplication::processEvents();
    QCOMPARE(page.findChild<QLabel*>(QStringLiteral("labelBaudRate"))->text(), QStringLiteral("~Buad Rate:"));
    QCOMPARE(page.findChild<QRadioButton*>(QStringLiteral("rbModbus"))->text(), QStringLiteral("~Modbus"));
    QCOMPARE(page.findChild<QPushButton*>(QStringLiteral("btnOpen"))->text(), QStringLiteral("~Disconnect"));
    QCOMPARE(flow->count(), 3);
    QCOMPARE(flow->currentIndex(), 2);
    QCOMPARE(flow->currentText(), QStringLiteral("~Software"));
    QCOMPARE(parity->count(), 3);
    QCOMPARE(parity->currentIndex(), 1);
    QCOMPARE(parity->currentText(), QStringLiteral("~Even"));

    QCoreApplication::removeTranslator(&translator);
    QCoreApplication::processEvents();
    QCOMPARE(flow->currentText(), QStringLiteral("Software"));
    QCOMPARE(page.findChild<QPushButton*>(QStringLiteral("btnOpen"))->text(), QStringLiteral("Disconnect"));

    // The open request still carries the chosen indexes.
    QSignalSpy sent(&page, &SPTestPage::sendCmd);
    page.findChild<QPushButton*>(QStringLiteral("btnOpen"))->click(); // close
    page.findChild<QPushButton*>(QStringLiteral("btnOpen"))->click(); // open again
    QCOMPARE(sent.count(), 2);
    QCOMPARE(sent.at(1).at(1).toByteArray(), hexBytes("00 00 03 03 01 02 00"));
}

void TestSPTestPage::portNameLimitedTo255Bytes()
{
    SPTestPage page;
    page.show();
    auto* edit = page.findChild<QLineEdit*>(QStringLiteral("lePortName"));
    QTest::keyClicks(edit, QString(300, QLatin1Char('a')));
    QCOMPARE(edit->text().size(), 255);
    edit->clear();
    // Two bytes a character: 127 of them fit, the 128th does not.
    for (int i = 0; i < 130; ++i)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_Eacute, QString(QChar(0xe9)), Qt::NoModifier);
    QCOMPARE(edit->text(), QString(127, QChar(0xe9)));

    QSignalSpy sent(&page, &SPTestPage::sendCmd);
    page.findChild<QPushButton*>(QStringLiteral("btnOpen"))->click();
    QCOMPARE(sent.count(), 1);
    const QByteArray data = sent.first().at(1).toByteArray();
    QCOMPARE(int(quint8(data.at(1))), 254);
    QCOMPARE(data.size(), 7 + 254);
}

QTEST_MAIN(TestSPTestPage)
#include "tst_sptestpage.moc"
