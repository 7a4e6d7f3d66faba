// The search page's own decisions, fed replies without a search: "Refresh"
// is never pressed here (the searches run in tst_discovery_netns).

#include "discovery/devsereachpage.h"
#include "discovery/dialogsetip.h"
#include "support/boxrecorder.h"
#include "support/searchpagedriver.h"
#include "support/testaddresses.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QUdpSocket>
#include <QtTest>

namespace {

constexpr int kArea = 60;

// A row as the technician sees it: host, product, its card address and
// hardware address ("-" where none), its number of interface rows.
QStringList shown(QTreeWidgetItem* row)
{
    auto role = [row](int r) { return row->data(0, r).isValid() ? row->data(0, r).toString() : QStringLiteral("-"); };
    return { row->text(0), row->text(1), role(DevSereachPage::kCardAddressRole),
        role(DevSereachPage::kCardHardwareAddressRole), QString::number(row->childCount()) };
}

} // namespace

class TestDevSereachPage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void repliesBecomeRows();
    void menuEntries_data();
    void menuEntries();
    void refusedWithoutHardwareAddress_data();
    void refusedWithoutHardwareAddress();
    void commandsFromTheMenuWithoutASearch();
    void setIpChecks_data();
    void setIpChecks();

private:
    int m_case = 0;
    QString address(int card = 1) const { return TestAddresses::card(kArea, m_case, card); }
};

void TestDevSereachPage::initTestCase()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress(TestAddresses::card(kArea, 250)), 0))
        QSKIP("loopback addresses beyond 127.0.0.1 are not usable here");
}

void TestDevSereachPage::repliesBecomeRows()
{
    ++m_case;
    SearchPageDriver p;
    QVERIFY(p.feed.deliver(address(1), udpReply(address(1), "abc")));
    QVERIFY(p.feed.deliver(address(2), udpReply(address(2), "def", "02 4E 51 0A 0B 0C")));
    QVERIFY(p.feed.deliver(address(3), hex("00 25 18 05 61 62 63")));
    QVERIFY(p.feed.networkInfo(networkInfoText("10.1.0.5", "10.1.0.5", "02:4e:51:00:00:07")));
    // The last one's host is on none of its interfaces.
    QVERIFY(p.feed.networkInfo(networkInfoText("10.1.0.6", "10.9.9.9", "02:4E:51:00:00:08")));
    // Newest on top.
    QCOMPARE(p.hosts(), (QStringList { "10.1.0.6", "10.1.0.5", address(3), address(2), address(1) }));
    QCOMPARE(shown(p.tree->topLevelItem(4)), (QStringList { address(1), "abc", address(1), "-", "1" }));
    QVERIFY(p.tree->topLevelItem(4)->isExpanded());
    QTreeWidgetItem* eth0 = p.tree->topLevelItem(4)->child(0);
    QCOMPARE((QStringList { eth0->text(0), eth0->text(1), eth0->text(2), eth0->text(3), eth0->text(4), eth0->text(5) }),
        (QStringList { "", "", "eth0", address(1), "255.255.255.0", "" }));
    QCOMPARE(shown(p.tree->topLevelItem(3)), (QStringList { address(2), "def", address(2), "02:4E:51:0A:0B:0C", "1" }));
    QCOMPARE(p.tree->topLevelItem(3)->child(0)->text(5), QStringLiteral("02:4E:51:0A:0B:0C"));
    QCOMPARE(shown(p.tree->topLevelItem(2)), (QStringList { address(3), "Unknown", address(3), "-", "0" }));
    QCOMPARE(shown(p.tree->topLevelItem(1)), (QStringList { "10.1.0.5", "NQ", "10.1.0.5", "02:4E:51:00:00:07", "2" }));
    QCOMPARE(p.tree->topLevelItem(1)->child(0)->text(5), QStringLiteral("02:4e:51:00:00:07")); // as the card wrote it
    QCOMPARE(shown(p.tree->topLevelItem(0)), (QStringList { "10.1.0.6", "NQ", "-", "-", "2" }));
    // The link layer completes the row of a short UDP reply in place.
    QVERIFY(p.feed.networkInfo(networkInfoText(address(1), address(1), "02:4E:51:00:00:09")));
    QCOMPARE(p.macs().mid(3), (QStringList { "02:4E:51:0A:0B:0C", "02:4E:51:00:00:09" }));
}

void TestDevSereachPage::menuEntries_data()
{
    QTest::addColumn<QString>("target"); // which row the menu is opened on
    QTest::addColumn<QStringList>("entries");
    const QStringList full { "Browse device", "Set IP address", "Reboot" };
    QTest::newRow("card row") << "card" << full;
    QTest::newRow("card without interfaces") << "unknown" << QStringList { "Browse device", "Reboot" };
    QTest::newRow("empty space") << "space" << QStringList {};
    QTest::newRow("card row without address") << "nohost" << QStringList {};
    QTest::newRow("interface row of a card without address") << "nohost-interface" << full;
}

void TestDevSereachPage::menuEntries()
{
    QFETCH(QString, target);
    QFETCH(QStringList, entries);
    ++m_case;
    BoxRecorder boxes;
    SearchPageDriver p;
    QVERIFY(p.feed.deliver(address(1), udpReply(address(1), "NQ", "02 4E 51 00 00 01")));
    QVERIFY(p.feed.deliver(address(2), hex("00 25 18 00 00 00 00")));
    QVERIFY(p.feed.networkInfo(R"({"product":"NQ","intfInfo":[["eth0","10.1.1.1","255.0.0.0","02:00:00:00:00:01"]]})"));
    const QStringList targets { "nohost", "unknown", "card" };
    p.menuOn(target == "space"             ? nullptr
            : target == "nohost-interface" ? p.tree->topLevelItem(0)->child(0)
                                           : p.tree->topLevelItem(targets.indexOf(target)));
    QCOMPARE(boxes.dialogs.size(), entries.isEmpty() ? 0 : 1);
    if (!entries.isEmpty()) {
        QCOMPARE(boxes.dialogs.first().kind, DialogPrompt::Kind::Menu);
        QCOMPARE(boxes.dialogs.first().menuEntries, entries);
    }
    QVERIFY(boxes.boxes.isEmpty());
}

void TestDevSereachPage::refusedWithoutHardwareAddress_data()
{
    QTest::addColumn<QString>("interfaceAddress");
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("says");
    QTest::newRow("host on no interface, reboot") << "10.9.9.9"
                                                  << "02:4E:51:00:00:08"
                                                  << "Reboot"
                                                  << "did not report its hardware address";
    QTest::newRow("broadcast address, set IP") << "10.1.0.6"
                                               << "ff:ff:ff:ff:ff:ff"
                                               << "Set IP address"
                                               << "does not name a single card";
    QTest::newRow("short address, reboot") << "10.1.0.6"
                                           << "02:4E"
                                           << "Reboot"
                                           << "does not name a single card";
}

void TestDevSereachPage::refusedWithoutHardwareAddress()
{
    QFETCH(QString, interfaceAddress);
    QFETCH(QString, mac);
    QFETCH(QString, action);
    QFETCH(QString, says);
    BoxRecorder boxes;
    SearchPageDriver p;
    QVERIFY(p.feed.networkInfo(networkInfoText("10.1.0.6", interfaceAddress, mac)));
    // Refused before the dialog: nothing to fill in for a card that cannot
    // be reached (a dialog that opens all the same is closed, and noted).
    DialogSetIPWatcher watcher([](DialogSetIP* dialog) { dialog->reject(); });
    boxes.answerDialog(action);
    p.menuOn(p.tree->topLevelItem(0));
    QVERIFY(!watcher.seen);
    QCOMPARE(boxes.dialogs.size(), 1);
    QCOMPARE(boxes.boxes.size(), 1);
    QVERIFY(boxes.last()->icon == QMessageBox::Warning && boxes.last()->parent == &p.page);
    const QString text = boxes.last()->text;
    QVERIFY2(text.contains(says) && text.contains(QStringLiteral("Nothing was sent")), qPrintable(text));
}

void TestDevSereachPage::commandsFromTheMenuWithoutASearch()
{
    BoxRecorder boxes;
    SearchPageDriver p;
    QVERIFY(p.feed.networkInfo(networkInfoText("10.1.0.5", "10.1.0.5", "02:4E:51:00:00:07")));
    // The dialog, without a parent, offers the card's interfaces; rejected,
    // nothing is sent and nothing said.
    QStringList offered;
    DialogSetIPWatcher watcher([&](DialogSetIP* dialog) {
        auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("comboBoxIntf"));
        for (int i = 0; i < combo->count(); ++i)
            offered.append(combo->itemText(i));
        offered << (dialog->parent() ? "parent" : "no parent");
        dialog->reject();
    });
    boxes.answerDialog(QStringLiteral("Set IP address"));
    p.menuOn(p.tree->topLevelItem(0)->child(1));
    QCOMPARE(offered, (QStringList { "eth0", "eth1", "no parent" }));
    QVERIFY(boxes.boxes.isEmpty());
    // No search ran, so the link layer has no capture open: the command
    // cannot go out, and the technician is told instead of waiting.
    boxes.answerDialog(QStringLiteral("Reboot"));
    p.menuOn(p.tree->topLevelItem(0));
    QCOMPARE(boxes.boxes.size(), 1);
    QVERIFY2(boxes.last()->text.contains(QStringLiteral("could not be sent")), qPrintable(boxes.last()->text));
}

void TestDevSereachPage::setIpChecks_data()
{
    QTest::addColumn<QStringList>("settings"); // address, netmask, gateway
    QTest::addColumn<QString>("message"); // empty: accepted
    auto row = [](const char* tag, QStringList settings, const char* message) {
        QTest::newRow(tag) << settings << QString::fromLatin1(message);
    };
    const char* const badIp = "IP address is invalid!";
    row("full settings", { "192.168.1.20", "255.255.255.0", "192.168.1.1" }, "");
    row("address only", { "192.168.1.20", "", "" }, "");
    row("gateway need not be in the subnet", { "10.0.0.5", "255.0.0.0", "192.168.9.9" }, "");
    row("everything empty", { "", "", "" }, badIp);
    row("leading zero", { "192.168.01.20", "", "" }, badIp);
    row("above 255", { "256.1.1.1", "", "" }, badIp);
    row("three numbers", { "1.2.3", "", "" }, badIp);
    row("trailing space", { "192.168.1.20 ", "", "" }, badIp);
    row("leading space", { " 192.168.1.20", "", "" }, badIp);
    row("bad address hides the rest", { "1.2.3", "x", "y" }, badIp);
    row("bad netmask hides the gateway", { "10.0.0.5", "255.255", "10.0.0" }, "Netmask is invalid!");
    row("bad gateway", { "10.0.0.5", "255.0.0.0", "10.0.0.1.1" }, "Gateway is invalid!");
}

void TestDevSereachPage::setIpChecks()
{
    QFETCH(QStringList, settings);
    QFETCH(QString, message);
    BoxRecorder boxes;
    DialogSetIP dialog;
    dialog.setInterfaces({ QStringLiteral("eth0") });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const char* fields[] = { "leIP", "leNetmask", "leGateway" };
    for (int i = 0; i < 3; ++i)
        dialog.findChild<QLineEdit*>(QLatin1String(fields[i]))->setText(settings.at(i));
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnSure")), Qt::LeftButton);
    // Only the first failing check speaks; the dialog stays open with its values.
    QCOMPARE(boxes.texts(), message.isEmpty() ? QStringList() : QStringList { message });
    QCOMPARE(dialog.isVisible(), !message.isEmpty());
    if (message.isEmpty())
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    else
        QVERIFY(boxes.last()->parent == &dialog && dialog.ipSettings() == QStringList { "eth0" } + settings);
}

QTEST_MAIN(TestDevSereachPage)
#include "tst_devsereachpage.moc"
