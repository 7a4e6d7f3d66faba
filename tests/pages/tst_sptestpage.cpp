// The serial port test page's own decisions: what it sends on open, send and
// close, what the card's answers do to the port state, and what the record
// shows. The link and the wiring are tested elsewhere; replies are fed in.

#include "pages/sptestpage.h"
#include "pagewire.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTranslator>

namespace {
const QByteArray kYes("\1");
QStringList record(const SPTestPage& page)
{
    return childOf<QTextBrowser>(page, "textBrowserRecord")->toPlainText().split(QLatin1Char('\n'));
}
// Marks every text of the page, to see what it sets again on a language change.
class MarkingTranslator : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        return qstrcmp(context, "SPTestPage") == 0 ? QStringLiteral("~") + QString::fromUtf8(source) : QString();
    }
    bool isEmpty() const override { return false; }
};
} // namespace

class TestSPTestPage : public QObject {
    Q_OBJECT

private slots:
    void openSendClose()
    {
        BoxRecorder boxes;
        SPTestPage page;
        QSignalSpy sent(&page, &SPTestPage::sendCmd);
        auto* open = childOf<QPushButton>(page, "btnOpen");
        // Closed: a send only warns, and answers nobody asked for change nothing.
        childOf<QLineEdit>(page, "leSendData")->setText(QStringLiteral("01"));
        click(page, "btnSend");
        QCOMPARE(describe(boxes.last(), &page), "Warning: Port not opened! [warning, no parent]");
        feed(page, 11, kYes);
        QVERIFY(!page.isPortOpen());
        QCOMPARE(sent.count(), 0);

        childOf<QLineEdit>(page, "lePortName")->setText(QStringLiteral("COM9"));
        open->click();
        QCOMPARE(sent.last().at(1).toByteArray().toHex(' '), hexBytes("00 04 43 4F 4D 39 03 03 00 00 00").toHex(' '));
        feed(page, 11, hexBytes("00")); // refused
        QCOMPARE(describe(boxes.last(), &page), "Warning: Open device's serial port failed! [warning, no parent]");
        QVERIFY(!page.isPortOpen());
        open->click();
        feed(page, 11, kYes);
        QVERIFY(page.isPortOpen());
        QCOMPARE(open->text(), QStringLiteral("Disconnect"));

        // Closing needs no answer, and the card's answer to it opens nothing.
        open->click();
        QCOMPARE(sent.last(), (QVariantList { 11, QByteArray() }));
        QVERIFY(!page.isPortOpen());
        feed(page, 11, kYes);
        QVERIFY(!page.isPortOpen());
        QCOMPARE(open->text(), QStringLiteral("Connect"));
        QCOMPARE(boxes.boxes.size(), 2);
    }

    void sendEncodings_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char* name, const char* mode, const char* text, const char* wire, const char* shown) {
            QTest::newRow(name) << QString(mode) << QString(text) << QByteArray::fromHex(wire) << QString(shown);
        };
        row("modbus", "rbModbus", "01 03 00 00 00 0A", "01030000000AC5CD", "01 03 00 00 00 0a c5 cd ");
        row("hex", "rbHex", "01  1FF", "0100FF", "01 00 ff ");
        row("ascii", "rbASCII", "a<b", "613C62", "a<b");
        row("empty sends nothing", "rbHex", "", "", "");
    }
    void sendEncodings()
    {
        QFETCH(QString, mode);
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        QFETCH(QString, shown);
        BoxRecorder boxes;
        SPTestPage page;
        click(page, "btnOpen");
        feed(page, 11, kYes);
        QSignalSpy sent(&page, &SPTestPage::sendCmd);
        childOf<QRadioButton>(page, qPrintable(mode))->click();
        auto* edit = childOf<QLineEdit>(page, "leSendData");
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return); // Return sends like the button
        QCOMPARE(sent.count(), text.isEmpty() ? 0 : 1);
        QCOMPARE(record(page).join(QString()).isEmpty(), text.isEmpty());
        if (text.isEmpty())
            return;
        QCOMPARE(sent.first().at(0).toInt(), 12);
        QCOMPARE(sent.first().at(1).toByteArray().toHex(' '), wire.toHex(' '));
        // "[yyyy-MM-dd hh:mm:ss.zzz] Send: " then the payload; what the card's
        // port received is recorded the same way, as UTF-8 in text mode.
        feed(page, 13, QByteArray("t=25\xc2\xb0"));
        const QStringList lines = record(page);
        QVERIFY2(lines.at(0).endsWith(QLatin1String("] Send: ")), qPrintable(lines.at(0)));
        QCOMPARE(lines.at(1), shown);
        QVERIFY(lines.at(3).endsWith(QLatin1String("] Receive: ")));
        QCOMPARE(lines.at(4), mode == "rbASCII" ? QStringLiteral("t=25\u00b0") : QStringLiteral("74 3d 32 35 c2 b0 "));
        QVERIFY(boxes.boxes.isEmpty());
    }

    void failedSendClosesThePort_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("reply 0") << hexBytes("00");
        QTest::newRow("reply without data byte") << QByteArray();
    }
    void failedSendClosesThePort()
    {
        QFETCH(QByteArray, reply);
        BoxRecorder boxes;
        SPTestPage page;
        click(page, "btnOpen");
        feed(page, 11, kYes);
        childOf<QLineEdit>(page, "leSendData")->setText(QStringLiteral("01"));
        click(page, "btnSend");
        feed(page, 12, reply);
        feed(page, 12, reply); // a repeated answer opens no second box
        QCOMPARE(boxes.texts(), QStringList { QStringLiteral("Send data to device's serial port failed!") });
        QVERIFY(!page.isPortOpen());
        QCOMPARE(childOf<QPushButton>(page, "btnOpen")->text(), QStringLiteral("Connect"));
    }

    void recordIsCapped()
    {
        SPTestPage page;
        for (int i = 0; i < SPTestPage::kMaxRecordEntries + 3; ++i)
            feed(page, 13, QByteArray(1, char(i)));
        const auto* doc = childOf<QTextBrowser>(page, "textBrowserRecord")->document();
        QCOMPARE(doc->blockCount(), SPTestPage::kMaxRecordEntries);
        QVERIFY2(
            doc->firstBlock().text().simplified().endsWith(QLatin1String(" 03")), qPrintable(doc->firstBlock().text()));
    }

    void retranslationKeepsIndexes()
    {
        BoxRecorder boxes;
        SPTestPage page;
        auto* flow = childOf<QComboBox>(page, "comboBoxFlowControl");
        flow->setCurrentIndex(2);
        childOf<QComboBox>(page, "comboBoxParity")->setCurrentIndex(1);
        MarkingTranslator translator;
        QCoreApplication::installTranslator(&translator);
        QTRY_COMPARE(flow->currentText(), QStringLiteral("~Software"));
        QCoreApplication::removeTranslator(&translator);
        QTRY_COMPARE(flow->currentText(), QStringLiteral("Software"));
        QSignalSpy sent(&page, &SPTestPage::sendCmd);
        click(page, "btnOpen");
        QCOMPARE(sent.at(0).at(1).toByteArray(), hexBytes("00 00 03 03 01 02 00"));
    }
};

QTEST_MAIN(TestSPTestPage)
#include "tst_sptestpage.moc"
