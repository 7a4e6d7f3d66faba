// The settings page on the wire: the real page and command link against the
// card simulator on loopback, every box answered by the recorder.

#include "link/commtcp.h"
#include "pages/settingspage.h"
#include "support/boxrecorder.h"
#include "support/simulatorfixture.h"
#include "support/testaddresses.h"

#include "card.h"
#include "cardsession.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTranslator>
#include <QtTest>
#include <memory>

namespace {

constexpr int kArea = 30;
constexpr int kWaitMs = 5000;
const char* const kServices[] = { "SSH", "Telnet", "HTTP", "HTTPS" };

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// One simulated card, a link connected to it and the page wired to the link
// as the main window wires them.
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
        QObject::connect(&page, &SettingsPage::sendCmd, &link, &CommTcp::send);
        QObject::connect(&link, &CommTcp::gotSettingsRespond, &page, &SettingsPage::handleRespond);
        link.connectToDevice(address);
        page.show();
    }

    QPushButton* button(const char* name) const { return page.findChild<QPushButton*>(QLatin1String(name)); }
    QCheckBox* check(int row) const
    {
        return page.findChild<QCheckBox*>(QStringLiteral("checkBox") + QLatin1String(kServices[row]));
    }
    QLineEdit* port(int row) const
    {
        return page.findChild<QLineEdit*>(QStringLiteral("lePort") + QLatin1String(kServices[row]));
    }
    QLineEdit* date() const { return page.findChild<QLineEdit*>(QStringLiteral("leDate")); }
    void setRows(const QList<QPair<bool, QString>>& rows)
    {
        for (int i = 0; i < rows.size(); ++i) {
            check(i)->setChecked(rows.at(i).first);
            port(i)->setText(rows.at(i).second);
        }
    }
    QStringList ports() const
    {
        QStringList result;
        for (int i = 0; i < 4; ++i)
            result << QString::fromLatin1(check(i)->isChecked() ? "on:" : "off:") + port(i)->text();
        return result;
    }
    // Waits until the card has seen a frame of `cmd` beyond `count` of them.
    bool waitForFrame(int cmd, int count = 0)
    {
        QElapsedTimer t;
        t.start();
        while (sim.frames(QStringLiteral("in"), cmd).size() <= count && t.elapsed() < kWaitMs)
            QTest::qWait(5);
        return sim.frames(QStringLiteral("in"), cmd).size() > count;
    }
    // Sends an unrelated command through the link and waits for the card to
    // see it: everything the page sent before it has arrived by then.
    bool drain() { return (link.send(3), waitForFrame(3)) && (sim.clearRecords(), true); }
    QByteArray lastData(int cmd) const
    {
        const auto frames = sim.frames(QStringLiteral("in"), cmd);
        return frames.isEmpty()
            ? QByteArray("<none>")
            : QByteArray::fromHex(frames.last().value(QStringLiteral("data")).toString().toLatin1());
    }
    // Is a "Writing data..." box still alive?
    static bool writingBoxAlive()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box && box->text() == QLatin1String("Writing data..."))
                return true;
        }
        return false;
    }

    BoxRecorder boxes;
    SimulatorFixture sim;
    bool started = false;
    CommTcp link;
    SettingsPage page;
};

// Marks every text of the page's context, so a retranslation shows.
class MarkingTranslator : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        if (qstrcmp(context, "SettingsPage") == 0)
            return QStringLiteral("#") + QString::fromUtf8(source);
        return QString();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

class TestSettingsPage : public QObject {
    Q_OBJECT

private slots:
    void portsWrittenAreReadBack();
    void badPortStopsTheWrite_data();
    void badPortStopsTheWrite();
    void portFieldAdmitsOnlyPorts_data();
    void portFieldAdmitsOnlyPorts();
    void readRepliesOfWrongLength_data();
    void readRepliesOfWrongLength();
    void readShowsTheCardsRecords();
    void writeReplies_data();
    void writeReplies();
    void unansweredWriteKeepsTheBox();
    void writeReplyWithoutWriteShowsOnlyTheResult();
    void checkBoxEnablesOnlyItsRow();
    void dateReadAndSynced();
    void dateRepliesOfWrongLength_data();
    void dateRepliesOfWrongLength();
    void retranslation();
    void cleanupTestCase() { m_shared.reset(); }

private:
    std::unique_ptr<Bench> m_shared;
    int m_case = 0;
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
};

void TestSettingsPage::portsWrittenAreReadBack()
{
    Bench b(nextAddress());
    QVERIFY(b.started);
    b.setRows({ { true, "22" }, { false, "2323" }, { true, "8080" }, { false, "443" } });
    QTest::mouseClick(b.button("btnWrite"), Qt::LeftButton);
    QVERIFY(b.waitForFrame(17));
    QCOMPARE(b.lastData(17).toHex(' '), hex("01 00 16  00 09 13  01 1F 90  00 01 BB").toHex(' '));
    QTRY_VERIFY_WITH_TIMEOUT(b.boxes.saw(QStringLiteral("Operation success!")), kWaitMs);

    // The box that waited for the reply was opened without a loop of its own
    // and is gone once the reply came.
    QCOMPARE(b.boxes.boxes.first().kind, MessageBox::Kind::Pending);
    QCOMPARE(b.boxes.boxes.first().title, QStringLiteral("Information"));
    QCOMPARE(b.boxes.boxes.first().text, QStringLiteral("Writing data..."));
    QCOMPARE(b.boxes.boxes.first().icon, QMessageBox::Information);
    QCOMPARE(b.boxes.last()->title, QStringLiteral("Information"));
    QCOMPARE(b.boxes.last()->icon, QMessageBox::Warning);
    QTRY_VERIFY(!Bench::writingBoxAlive());

    b.setRows({ { true, "" }, { true, "" }, { true, "" }, { true, "" } });
    b.boxes.clear();
    QTest::mouseClick(b.button("btnRead"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(b.boxes.saw(QStringLiteral("Read data finished!")), kWaitMs);
    QCOMPARE(b.boxes.last()->parent, &b.page);
    QCOMPARE(b.ports(), (QStringList { "on:22", "off:2323", "on:8080", "off:443" }));
    QVERIFY(!b.port(1)->isEnabled());
    QVERIFY(!b.port(3)->isEnabled());
    QVERIFY(b.port(2)->isEnabled());
}

void TestSettingsPage::badPortStopsTheWrite_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("text");
    for (int row = 0; row < 4; ++row) {
        for (const char* text : { "0", "65535" }) {
            for (bool enabled : { true, false }) {
                QTest::addRow("%s %s %s", kServices[row], text, enabled ? "checked" : "unchecked")
                    << row << enabled << QString::fromLatin1(text);
            }
        }
    }
    QTest::newRow("empty SSH") << 0 << true << QString();
    QTest::newRow("letters HTTP") << 2 << false << QStringLiteral("http");
}

void TestSettingsPage::badPortStopsTheWrite()
{
    QFETCH(int, row);
    QFETCH(bool, enabled);
    QFETCH(QString, text);
    // One card for all rows: nothing of a refused write may reach it.
    if (!m_shared)
        m_shared = std::make_unique<Bench>(TestAddresses::card(kArea, 99));
    Bench& b = *m_shared;
    QVERIFY(b.started);
    b.setRows({ { true, "22" }, { true, "23" }, { true, "80" }, { true, "443" } });
    b.check(row)->setChecked(enabled);
    b.port(row)->setText(text);
    b.boxes.clear();
    QTest::mouseClick(b.button("btnWrite"), Qt::LeftButton);
    QCOMPARE(b.boxes.texts(), QStringList { QStringLiteral("Port settings error!") });
    QCOMPARE(b.boxes.last()->title, QStringLiteral("Warning"));
    QCOMPARE(b.boxes.last()->icon, QMessageBox::Warning);
    QVERIFY(!b.boxes.last()->parent);
    QVERIFY(b.drain());
    QVERIFY(b.sim.frames(QStringLiteral("in"), 17).isEmpty());
}

void TestSettingsPage::portFieldAdmitsOnlyPorts_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("written");
    QTest::newRow("22") << "22"
                        << "22" << true;
    QTest::newRow("65534") << "65534"
                           << "65534" << true;
    // Five digits may be on their way to a valid port; Write still refuses them.
    QTest::newRow("65535") << "65535"
                           << "65535" << false;
    QTest::newRow("0") << "0"
                       << "0" << false;
    QTest::newRow("six digits") << "123456"
                                << "12345" << true;
    QTest::newRow("letters") << "ab1c"
                             << "1" << true;
    QTest::newRow("minus") << "-5"
                           << "5" << true;
}

void TestSettingsPage::portFieldAdmitsOnlyPorts()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, written);
    BoxRecorder boxes;
    SettingsPage page;
    QSignalSpy sent(&page, &SettingsPage::sendCmd);
    page.show();
    for (const char* service : kServices)
        page.findChild<QLineEdit*>(QStringLiteral("lePort") + QLatin1String(service))->setText(QStringLiteral("80"));
    auto* field = page.findChild<QLineEdit*>(QStringLiteral("lePortHTTP"));
    field->clear();
    field->setFocus();
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), shown);
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnWrite")), Qt::LeftButton);
    QCOMPARE(sent.count(), written ? 1 : 0);
    QCOMPARE(boxes.saw(QStringLiteral("Port settings error!")), !written);
}

void TestSettingsPage::readRepliesOfWrongLength_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("11 bytes") << 11;
    QTest::newRow("13 bytes") << 13;
    QTest::newRow("no data") << 0;
}

void TestSettingsPage::readRepliesOfWrongLength()
{
    QFETCH(int, size);
    Bench b(nextAddress(), { QStringLiteral("ports-reply-size=%1").arg(size) });
    QVERIFY(b.started);
    b.setRows({ { true, "1" }, { false, "2" }, { true, "3" }, { false, "" } });
    QTest::mouseClick(b.button("btnRead"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!b.boxes.boxes.isEmpty(), kWaitMs);
    QCOMPARE(b.boxes.texts(), QStringList { QStringLiteral("Read data failed!") });
    QCOMPARE(b.boxes.last()->title, QStringLiteral("Tip"));
    QCOMPARE(b.boxes.last()->icon, QMessageBox::Information);
    QCOMPARE(b.ports(), (QStringList { "on:1", "off:2", "on:3", "off:" }));
}

void TestSettingsPage::readShowsTheCardsRecords()
{
    Bench b(nextAddress(), { QStringLiteral("ports=2:22,0:23,255:65534,1:0") });
    QVERIFY(b.started);
    QTest::mouseClick(b.button("btnRead"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(b.boxes.saw(QStringLiteral("Read data finished!")), kWaitMs);
    QCOMPARE(b.ports(), (QStringList { "on:22", "off:23", "on:65534", "on:0" }));
    QVERIFY(b.port(0)->isEnabled());
    QVERIFY(!b.port(1)->isEnabled());
    // A card's port 0 is shown but cannot be written back as it is.
    b.boxes.clear();
    QTest::mouseClick(b.button("btnWrite"), Qt::LeftButton);
    QVERIFY(b.boxes.saw(QStringLiteral("Port settings error!")));
}

void TestSettingsPage::writeReplies_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("result");
    QTest::newRow("accepted") << QString() << "Operation success!";
    QTest::newRow("refused") << "ports-refuse-write"
                             << "Operation failed!";
    QTest::newRow("no result byte") << "ports-write-reply-size=0"
                                    << "Operation failed!";
    QTest::newRow("more than the result byte") << "ports-write-reply-size=3"
                                               << "Operation success!";
}

void TestSettingsPage::writeReplies()
{
    QFETCH(QString, option);
    QFETCH(QString, result);
    Bench b(nextAddress(), option.isEmpty() ? QStringList() : QStringList { option });
    QVERIFY(b.started);
    b.setRows({ { true, "22" }, { true, "23" }, { true, "80" }, { true, "443" } });
    QTest::mouseClick(b.button("btnWrite"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(b.boxes.boxes.size(), 2, kWaitMs);
    QCOMPARE(b.boxes.texts(), (QStringList { QStringLiteral("Writing data..."), result }));
    QCOMPARE(b.boxes.last()->title,
        result == QLatin1String("Operation success!") ? QStringLiteral("Information") : QStringLiteral("Warning"));
    QTRY_VERIFY(!Bench::writingBoxAlive());
}

void TestSettingsPage::unansweredWriteKeepsTheBox()
{
    Bench b(nextAddress(), { QStringLiteral("ports-silent-write") });
    QVERIFY(b.started);
    b.setRows({ { true, "22" }, { true, "23" }, { true, "80" }, { true, "443" } });
    QTest::mouseClick(b.button("btnWrite"), Qt::LeftButton);
    QVERIFY(b.waitForFrame(17));
    QVERIFY(b.drain());
    QTest::qWait(50);
    QVERIFY(Bench::writingBoxAlive());
    QCOMPARE(b.boxes.texts(), QStringList { QStringLiteral("Writing data...") });

    // A second write replaces the box that waited in vain.
    QTest::mouseClick(b.button("btnWrite"), Qt::LeftButton);
    QVERIFY(b.waitForFrame(17));
    QTest::qWait(20);
    int alive = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        alive += box && box->text() == QLatin1String("Writing data...");
    }
    QCOMPARE(alive, 1);
}

void TestSettingsPage::writeReplyWithoutWriteShowsOnlyTheResult()
{
    const QString address = nextAddress();
    Bench b(address);
    QVERIFY(b.started);
    // The card accepts the connection in its own thread; wait until it has.
    QTRY_VERIFY_WITH_TIMEOUT(!b.sim.events(QStringLiteral("connected")).isEmpty(), kWaitMs);
    b.sim.inSimulator([&](CardSimulator& sim) {
        for (CardSession* s : sim.card(address)->sessions())
            s->reply(17, hex("01"));
    });
    QTRY_VERIFY_WITH_TIMEOUT(!b.boxes.boxes.isEmpty(), kWaitMs);
    QCOMPARE(b.boxes.texts(), QStringList { QStringLiteral("Operation success!") });
}

void TestSettingsPage::checkBoxEnablesOnlyItsRow()
{
    SettingsPage page;
    page.show();
    for (int row = 0; row < 4; ++row) {
        auto* check = page.findChild<QCheckBox*>(QStringLiteral("checkBox") + QLatin1String(kServices[row]));
        QTest::mouseClick(check, Qt::LeftButton, {}, check->rect().center());
        for (int other = 0; other < 4; ++other) {
            auto* field = page.findChild<QLineEdit*>(QStringLiteral("lePort") + QLatin1String(kServices[other]));
            QCOMPARE(field->isEnabled(), other > row);
        }
    }
    auto* first = page.findChild<QCheckBox*>(QStringLiteral("checkBoxSSH"));
    first->setChecked(true);
    QVERIFY(page.findChild<QLineEdit*>(QStringLiteral("lePortSSH"))->isEnabled());
    QVERIFY(!page.findChild<QLineEdit*>(QStringLiteral("lePortTelnet"))->isEnabled());
}

void TestSettingsPage::dateReadAndSynced()
{
    Bench b(nextAddress(), { QStringLiteral("date=2031-05-06 07:08:09") });
    QVERIFY(b.started);
    const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
    b.date()->setText(QStringLiteral("typed text is not sent"));
    QTest::mouseClick(b.button("btnDeviceDate"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(b.date()->text().startsWith(QLatin1String("2031-05-06 07:")), kWaitMs);
    QVERIFY(b.sim.frames(QStringLiteral("in"), 6).last().value(QStringLiteral("data")).toString().isEmpty());
    QVERIFY(b.boxes.boxes.isEmpty());

    QTest::mouseClick(b.button("btnSyncDate"), Qt::LeftButton);
    QVERIFY(b.waitForFrame(7));
    const QByteArray sent = b.lastData(7);
    QCOMPARE(sent.size(), 19);
    const QDateTime sentTime = QDateTime::fromString(QString::fromLatin1(sent), format);
    QVERIFY2(qAbs(sentTime.secsTo(QDateTime::currentDateTime())) < 60, sent.constData());
    // The link, not the page, acknowledges the set date.
    QTRY_VERIFY_WITH_TIMEOUT(b.boxes.saw(QStringLiteral("Set device's date success!")), kWaitMs);
    QCOMPARE(b.boxes.boxes.size(), 1);

    QTest::mouseClick(b.button("btnDeviceDate"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!b.date()->text().startsWith(QLatin1String("2031")), kWaitMs);
    const QDateTime read = QDateTime::fromString(b.date()->text(), format);
    QVERIFY2(qAbs(read.secsTo(QDateTime::currentDateTime())) < 60, qPrintable(b.date()->text()));
}

void TestSettingsPage::dateRepliesOfWrongLength_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("18 bytes") << 18;
    QTest::newRow("20 bytes") << 20;
}

void TestSettingsPage::dateRepliesOfWrongLength()
{
    QFETCH(int, size);
    Bench b(nextAddress(), { QStringLiteral("date-reply-size=%1").arg(size) });
    QVERIFY(b.started);
    b.date()->setText(QStringLiteral("2026-01-01 00:00:00"));
    QTest::mouseClick(b.button("btnDeviceDate"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!b.boxes.boxes.isEmpty(), kWaitMs);
    QCOMPARE(b.boxes.texts(), QStringList { QStringLiteral("Read date failed!") });
    QCOMPARE(b.boxes.last()->title, QStringLiteral("Tip"));
    QVERIFY(!b.boxes.last()->parent);
    QCOMPARE(b.date()->text(), QStringLiteral("2026-01-01 00:00:00"));
}

void TestSettingsPage::retranslation()
{
    SettingsPage page;
    MarkingTranslator marking;
    QApplication::installTranslator(&marking);
    auto* table = page.findChild<QTableWidget*>(QStringLiteral("tableWidgetPort"));
    // The language change reaches the page as a posted event.
    QTRY_COMPARE(page.findChild<QPushButton*>(QStringLiteral("btnWrite"))->text(), QStringLiteral("#Write"));
    QCOMPARE(page.findChild<QGroupBox*>(QStringLiteral("groupBoxDate"))->title(), QStringLiteral("#Date settings"));
    QCOMPARE(page.findChild<QGroupBox*>(QStringLiteral("groupBoxPort"))->title(), QStringLiteral("#Port settings"));
    QCOMPARE(page.findChild<QLabel*>(QStringLiteral("labelDate"))->text(), QStringLiteral("#Date:"));
    QCOMPARE(table->horizontalHeaderItem(2)->text(), QStringLiteral("#Port"));
    QCOMPARE(table->item(3, 0)->text(), QStringLiteral("#HTTPS"));
    QApplication::removeTranslator(&marking);
    QTRY_COMPARE(page.findChild<QPushButton*>(QStringLiteral("btnDeviceDate"))->text(), QStringLiteral("Device date"));
    QCOMPARE(table->item(1, 0)->text(), QStringLiteral("Telnet"));
}

QTEST_MAIN(TestSettingsPage)
#include "tst_settingspage.moc"
