// The settings page on the wire: the real page and command link against the
// card simulator on loopback, every box answered by the recorder.

#include "pages/settingspage.h"
#include "pagewire.h"
#include "support/testaddresses.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableWidget>
#include <memory>

namespace {

constexpr int kArea = 30;
const char* const kServices[] = { "SSH", "Telnet", "HTTP", "HTTPS" };

QCheckBox* check(const SettingsPage& page, int row)
{
    return childOf<QCheckBox>(page, QByteArray("checkBox").append(kServices[row]).constData());
}

QLineEdit* port(const SettingsPage& page, int row)
{
    return childOf<QLineEdit>(page, QByteArray("lePort").append(kServices[row]).constData());
}

struct Rig : PageOnWire<SettingsPage> {
    explicit Rig(const QString& address, const QStringList& options = {})
        : PageOnWire(address, &CommTcp::gotSettingsRespond, options)
    {
    }
    QLineEdit* date() const { return child<QLineEdit>("leDate"); }
    void setRows(const QList<QPair<bool, QString>>& rows)
    {
        for (int i = 0; i < rows.size(); ++i) {
            check(page, i)->setChecked(rows.at(i).first);
            port(page, i)->setText(rows.at(i).second);
        }
    }
    void setValidRows() { setRows({ { true, "22" }, { true, "23" }, { true, "80" }, { true, "443" } }); }
    QStringList ports() const
    {
        QStringList result;
        for (int i = 0; i < 4; ++i)
            result << QString::fromLatin1(check(page, i)->isChecked() ? "on:" : "off:") + port(page, i)->text();
        return result;
    }
};

// How many "Writing data..." boxes are alive.
int writingBoxes()
{
    int alive = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        alive += box && box->text() == QLatin1String("Writing data...");
    }
    return alive;
}

} // namespace

class TestSettingsPage : public QObject {
    Q_OBJECT

private slots:
    void portsWrittenAreReadBack();
    void badPortStopsTheWrite_data();
    void badPortStopsTheWrite();
    void portFieldAdmitsOnlyPorts();
    void failedReplies_data();
    void failedReplies();
    void readShowsTheCardsRecords();
    void unansweredWriteKeepsTheBox();
    void checkBoxEnablesOnlyItsRow();
    void dateReadAndSynced();
    void retranslation();
    void cleanupTestCase() { m_shared.reset(); }

private:
    std::unique_ptr<Rig> m_shared;
    int m_case = 0;
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
};

void TestSettingsPage::portsWrittenAreReadBack()
{
    Rig b(nextAddress());
    QVERIFY(b.start());
    b.setRows({ { true, "22" }, { false, "2323" }, { true, "8080" }, { false, "443" } });
    b.click("btnWrite");
    QVERIFY(b.waitIn(17));
    QCOMPARE(b.in(17).last().toHex(' '), hexBytes("01 00 16  00 09 13  01 1F 90  00 01 BB").toHex(' '));
    QTRY_VERIFY_WITH_TIMEOUT(b.boxes.saw(QStringLiteral("Operation success!")), Rig::kWaitMs);

    // The box that waited for the reply was opened without a loop of its own
    // and is gone once the reply came.
    QCOMPARE(b.boxes.boxes.first().kind, MessageBox::Kind::Pending);
    QCOMPARE(describe(&b.boxes.boxes.first(), &b.page), "Information: Writing data... [information, no parent]");
    QCOMPARE(b.lastBox(), "Information: Operation success! [warning, no parent]");
    QTRY_COMPARE(writingBoxes(), 0);

    b.setRows({ { true, "" }, { true, "" }, { true, "" }, { true, "" } });
    b.boxes.clear();
    b.click("btnRead");
    QTRY_VERIFY_WITH_TIMEOUT(b.boxes.saw(QStringLiteral("Read data finished!")), Rig::kWaitMs);
    QCOMPARE(b.lastBox(), "Information: Read data finished! [information, page]");
    QCOMPARE(b.ports(), (QStringList { "on:22", "off:2323", "on:8080", "off:443" }));
    QVERIFY(!port(b.page, 1)->isEnabled());
    QVERIFY(!port(b.page, 3)->isEnabled());
    QVERIFY(port(b.page, 2)->isEnabled());
}

void TestSettingsPage::badPortStopsTheWrite_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("text");
    // Every row once, each bound both checked and unchecked.
    QTest::newRow("SSH 0 checked") << 0 << true << QStringLiteral("0");
    QTest::newRow("Telnet 65535 unchecked") << 1 << false << QStringLiteral("65535");
    QTest::newRow("HTTP 0 unchecked") << 2 << false << QStringLiteral("0");
    QTest::newRow("HTTPS 65535 checked") << 3 << true << QStringLiteral("65535");
}

void TestSettingsPage::badPortStopsTheWrite()
{
    QFETCH(int, row);
    QFETCH(bool, enabled);
    QFETCH(QString, text);
    // One card for all rows: nothing of a refused write may reach it.
    if (!m_shared) {
        m_shared = std::make_unique<Rig>(TestAddresses::card(kArea, 99));
        m_shared->start();
    }
    Rig& b = *m_shared;
    QVERIFY(b.link.isConnected());
    b.setValidRows();
    check(b.page, row)->setChecked(enabled);
    port(b.page, row)->setText(text);
    b.boxes.clear();
    b.click("btnWrite");
    QCOMPARE(b.boxes.boxes.size(), 1);
    QCOMPARE(b.lastBox(), "Warning: Port settings error! [warning, no parent]");
    QVERIFY(b.drain());
    QVERIFY(b.sim.frames(QStringLiteral("in"), 17).isEmpty());
}

void TestSettingsPage::portFieldAdmitsOnlyPorts()
{
    BoxRecorder boxes;
    SettingsPage page;
    QSignalSpy sent(&page, &SettingsPage::sendCmd);
    page.show();
    for (int row = 0; row < 4; ++row)
        port(page, row)->setText(QStringLiteral("80"));
    QLineEdit* field = port(page, 2);
    field->clear();
    field->setFocus();
    // Signs and letters are refused, and digits beyond a port's five.
    QTest::keyClicks(field, QStringLiteral("-a123456"));
    QCOMPARE(field->text(), QStringLiteral("12345"));
    click(page, "btnWrite");
    QCOMPARE(sent.count(), 1);
    QVERIFY(!boxes.saw(QStringLiteral("Port settings error!")));
}

void TestSettingsPage::failedReplies_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("boxes"); // the last as describe() has it
    const QStringList writeFailed { "Writing data...", "Warning: Operation failed! [warning, no parent]" };
    QTest::newRow("ports, 11 bytes") << QStringList { "--reply-size", "16:11" } << "btnRead"
                                     << QStringList { "Tip: Read data failed! [information, no parent]" };
    QTest::newRow("date, 20 bytes") << QStringList { "--reply-size", "6:20" } << "btnDeviceDate"
                                    << QStringList { "Tip: Read date failed! [information, no parent]" };
    QTest::newRow("write refused") << QStringList { "--ports-refuse-write" } << "btnWrite" << writeFailed;
    QTest::newRow("write reply without result byte")
        << QStringList { "--reply-size", "17:0" } << "btnWrite" << writeFailed;
}

void TestSettingsPage::failedReplies()
{
    QFETCH(QStringList, options);
    QFETCH(QString, button);
    QFETCH(QStringList, boxes);
    Rig b(nextAddress(), options);
    QVERIFY(b.start());
    b.setRows({ { true, "1" }, { false, "2" }, { true, "3" }, { false, "4" } });
    b.date()->setText(QStringLiteral("2026-01-01 00:00:00"));
    b.click(qPrintable(button));
    QTRY_COMPARE_WITH_TIMEOUT(b.boxes.boxes.size(), boxes.size(), Rig::kWaitMs);
    QCOMPARE(b.boxes.texts().mid(0, boxes.size() - 1), boxes.mid(0, boxes.size() - 1));
    QCOMPARE(b.lastBox(), boxes.last());
    QTRY_COMPARE(writingBoxes(), 0);
    QCOMPARE(b.ports(), (QStringList { "on:1", "off:2", "on:3", "off:4" }));
    QCOMPARE(b.date()->text(), QStringLiteral("2026-01-01 00:00:00"));
}

void TestSettingsPage::readShowsTheCardsRecords()
{
    Rig b(nextAddress(), { QStringLiteral("--ports"), QStringLiteral("2:22,0:23,255:65534,1:0") });
    QVERIFY(b.start());
    b.click("btnRead");
    QTRY_VERIFY_WITH_TIMEOUT(b.boxes.saw(QStringLiteral("Read data finished!")), Rig::kWaitMs);
    QCOMPARE(b.ports(), (QStringList { "on:22", "off:23", "on:65534", "on:0" }));
    QVERIFY(port(b.page, 0)->isEnabled());
    QVERIFY(!port(b.page, 1)->isEnabled());
    // A card's port 0 is shown but cannot be written back as it is.
    b.boxes.clear();
    b.click("btnWrite");
    QVERIFY(b.boxes.saw(QStringLiteral("Port settings error!")));
}

void TestSettingsPage::unansweredWriteKeepsTheBox()
{
    Rig b(nextAddress(), { QStringLiteral("--ports-silent-write") });
    QVERIFY(b.start());
    b.setValidRows();
    b.click("btnWrite");
    QVERIFY(b.waitIn(17));
    QVERIFY(b.drain());
    QTest::qWait(50);
    QCOMPARE(writingBoxes(), 1);
    QCOMPARE(b.boxes.texts(), QStringList { QStringLiteral("Writing data...") });

    // A second write replaces the box that waited in vain.
    b.click("btnWrite");
    QVERIFY(b.waitIn(17, 1));
    QTest::qWait(20);
    QCOMPARE(writingBoxes(), 1);
}

void TestSettingsPage::checkBoxEnablesOnlyItsRow()
{
    SettingsPage page;
    page.show();
    for (int row = 0; row < 4; ++row) {
        QTest::mouseClick(check(page, row), Qt::LeftButton, {}, check(page, row)->rect().center());
        for (int other = 0; other < 4; ++other)
            QCOMPARE(port(page, other)->isEnabled(), other > row);
    }
}

void TestSettingsPage::dateReadAndSynced()
{
    Rig b(nextAddress(), { QStringLiteral("--date"), QStringLiteral("2031-05-06 07:08:09") });
    QVERIFY(b.start());
    const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
    b.date()->setText(QStringLiteral("typed text is not sent"));
    b.click("btnDeviceDate");
    QTRY_VERIFY_WITH_TIMEOUT(b.date()->text().startsWith(QLatin1String("2031-05-06 07:")), Rig::kWaitMs);
    QCOMPARE(b.in(6).last(), QByteArray());
    QVERIFY(b.boxes.boxes.isEmpty());

    b.click("btnSyncDate");
    QVERIFY(b.waitIn(7));
    const QByteArray sent = b.in(7).last();
    QCOMPARE(sent.size(), 19);
    const QDateTime sentTime = QDateTime::fromString(QString::fromLatin1(sent), format);
    QVERIFY2(qAbs(sentTime.secsTo(QDateTime::currentDateTime())) < 60, sent.constData());
    // The link, not the page, acknowledges the set date.
    QTRY_VERIFY_WITH_TIMEOUT(b.boxes.saw(QStringLiteral("Set device's date success!")), Rig::kWaitMs);
    QCOMPARE(b.boxes.boxes.size(), 1);

    b.click("btnDeviceDate");
    QTRY_VERIFY_WITH_TIMEOUT(!b.date()->text().startsWith(QLatin1String("2031")), Rig::kWaitMs);
    const QDateTime read = QDateTime::fromString(b.date()->text(), format);
    QVERIFY2(qAbs(read.secsTo(QDateTime::currentDateTime())) < 60, qPrintable(b.date()->text()));
}

void TestSettingsPage::retranslation()
{
    SettingsPage page;
    MarkingTranslator marking("SettingsPage");
    QApplication::installTranslator(&marking);
    auto* table = childOf<QTableWidget>(page, "tableWidgetPort");
    // The language change reaches the page as a posted event.
    QTRY_COMPARE(childOf<QPushButton>(page, "btnWrite")->text(), QStringLiteral("~Write"));
    QCOMPARE(table->horizontalHeaderItem(2)->text(), QStringLiteral("~Port"));
    QCOMPARE(table->item(3, 0)->text(), QStringLiteral("~HTTPS"));
    QApplication::removeTranslator(&marking);
    QTRY_COMPARE(childOf<QPushButton>(page, "btnDeviceDate")->text(), QStringLiteral("Device date"));
    QCOMPARE(table->item(1, 0)->text(), QStringLiteral("Telnet"));
}

QTEST_MAIN(TestSettingsPage)
#include "tst_settingspage.moc"
