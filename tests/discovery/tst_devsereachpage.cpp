// The search page on the desktop, without any search: replies come to its
// session's real listening socket over loopback and as its link layer's
// texts, and the rows, the context menu, the set-IP dialog and every box are
// driven as the technician would. "Refresh" is never pressed here, so no
// discovery traffic leaves the machine; the searches themselves run in
// network namespaces (tst_discovery_netns). The set-IP dialog's checks
// come last.

#include "discovery/commlink.h"
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

void fill(DialogSetIP& dialog, const QString& ip, const QString& netmask, const QString& gateway)
{
    dialog.findChild<QLineEdit*>(QStringLiteral("leIP"))->setText(ip);
    dialog.findChild<QLineEdit*>(QStringLiteral("leNetmask"))->setText(netmask);
    dialog.findChild<QLineEdit*>(QStringLiteral("leGateway"))->setText(gateway);
}

constexpr int kArea = 60;

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
    void nextCase() { ++m_case; }
};

void TestDevSereachPage::initTestCase()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress(TestAddresses::card(kArea, 250)), 0))
        QSKIP("loopback addresses beyond 127.0.0.1 are not usable here");
}

void TestDevSereachPage::repliesBecomeRows()
{
    nextCase();
    SearchPageDriver p;
    QVERIFY(p.feed.deliver(address(1), udpReply(address(1), "abc")));
    QVERIFY(p.feed.deliver(address(2), udpReply(address(2), "def", "02 4E 51 0A 0B 0C")));
    QVERIFY(p.feed.deliver(address(3), hex("00 25 18 05 61 62 63")));
    QVERIFY(p.feed.networkInfo(networkInfoText("10.1.0.5", "10.1.0.5", "02:4e:51:00:00:07")));
    // The last one's host is on none of its interfaces.
    QVERIFY(p.feed.networkInfo(networkInfoText("10.1.0.6", "10.9.9.9", "02:4E:51:00:00:08")));
    // Newest on top.
    QCOMPARE(p.hosts(), (QStringList { "10.1.0.6", "10.1.0.5", address(3), address(2), address(1) }));

    QTreeWidgetItem* shortRow = p.tree->topLevelItem(4);
    QCOMPARE(shortRow->text(1), QStringLiteral("abc"));
    QCOMPARE(shortRow->data(0, DevSereachPage::kCardAddressRole).toString(), address(1));
    QVERIFY(!shortRow->data(0, DevSereachPage::kCardHardwareAddressRole).isValid());
    QCOMPARE(shortRow->childCount(), 1);
    QVERIFY(shortRow->isExpanded());
    QTreeWidgetItem* eth0 = shortRow->child(0);
    QCOMPARE((QStringList { eth0->text(0), eth0->text(1), eth0->text(2), eth0->text(3), eth0->text(4), eth0->text(5) }),
        (QStringList { "", "", "eth0", address(1), "255.255.255.0", "" }));

    QTreeWidgetItem* longRow = p.tree->topLevelItem(3);
    QCOMPARE(
        longRow->data(0, DevSereachPage::kCardHardwareAddressRole).toString(), QStringLiteral("02:4E:51:0A:0B:0C"));
    QCOMPARE(longRow->child(0)->text(5), QStringLiteral("02:4E:51:0A:0B:0C"));

    QTreeWidgetItem* unknown = p.tree->topLevelItem(2);
    QCOMPARE(unknown->text(1), QStringLiteral("Unknown"));
    QCOMPARE(unknown->childCount(), 0);

    QTreeWidgetItem* matched = p.tree->topLevelItem(1);
    QCOMPARE(matched->text(1), QStringLiteral("NQ"));
    QCOMPARE(matched->data(0, DevSereachPage::kCardAddressRole).toString(), QStringLiteral("10.1.0.5"));
    QCOMPARE(
        matched->data(0, DevSereachPage::kCardHardwareAddressRole).toString(), QStringLiteral("02:4E:51:00:00:07"));
    QCOMPARE(matched->childCount(), 2);
    QCOMPARE(matched->child(0)->text(5), QStringLiteral("02:4e:51:00:00:07")); // as the card wrote it
    QTreeWidgetItem* unmatched = p.tree->topLevelItem(0);
    QVERIFY(!unmatched->data(0, DevSereachPage::kCardAddressRole).isValid());
    QVERIFY(!unmatched->data(0, DevSereachPage::kCardHardwareAddressRole).isValid());
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
    nextCase();
    BoxRecorder boxes;
    SearchPageDriver p;
    QVERIFY(p.feed.deliver(address(1), udpReply(address(1), "NQ", "02 4E 51 00 00 01")));
    QVERIFY(p.feed.deliver(address(2), hex("00 25 18 00 00 00 00")));
    QVERIFY(p.feed.networkInfo(R"({"product":"NQ","intfInfo":[["eth0","10.1.1.1","255.0.0.0","02:00:00:00:00:01"]]})"));
    QTreeWidgetItem* card = p.tree->topLevelItem(2);
    QTreeWidgetItem* item = target == "card" ? card
        : target == "unknown"                ? p.tree->topLevelItem(1)
        : target == "nohost"                 ? p.tree->topLevelItem(0)
        : target == "nohost-interface"       ? p.tree->topLevelItem(0)->child(0)
                                             : nullptr;
    p.menuOn(item);
    if (entries.isEmpty()) {
        QVERIFY(boxes.dialogs.isEmpty());
        return;
    }
    QCOMPARE(boxes.dialogs.size(), 1);
    QCOMPARE(boxes.dialogs.first().kind, DialogPrompt::Kind::Menu);
    QCOMPARE(boxes.dialogs.first().menuEntries, entries);
    QVERIFY(boxes.boxes.isEmpty());
}

void TestDevSereachPage::refusedWithoutHardwareAddress_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("says");
    QTest::newRow("host on no interface, reboot") << QStringLiteral("unmatched") << QStringLiteral("Reboot")
                                                  << QStringLiteral("did not report its hardware address");
    QTest::newRow("broadcast address, set IP") << QStringLiteral("broadcast") << QStringLiteral("Set IP address")
                                               << QStringLiteral("does not name a single card");
    QTest::newRow("short address, reboot")
        << QStringLiteral("partial") << QStringLiteral("Reboot") << QStringLiteral("does not name a single card");
}

void TestDevSereachPage::refusedWithoutHardwareAddress()
{
    QFETCH(QString, row);
    QFETCH(QString, action);
    QFETCH(QString, says);
    BoxRecorder boxes;
    SearchPageDriver p;
    if (row == "unmatched")
        QVERIFY(p.feed.networkInfo(networkInfoText("10.1.0.6", "10.9.9.9", "02:4E:51:00:00:08")));
    else if (row == "broadcast")
        QVERIFY(p.feed.networkInfo(networkInfoText("10.1.0.6", "10.1.0.6", "ff:ff:ff:ff:ff:ff")));
    else
        QVERIFY(p.feed.networkInfo(networkInfoText("10.1.0.6", "10.1.0.6", "02:4E")));
    // Refused before the dialog: nothing to fill in for a card that cannot
    // be reached (a dialog that opens all the same is closed, and noted).
    DialogSetIPWatcher watcher([](DialogSetIP* dialog) { dialog->reject(); });
    boxes.answerDialog(action);
    p.menuOn(p.tree->topLevelItem(0));
    QVERIFY(!watcher.seen);
    QCOMPARE(boxes.dialogs.size(), 1);
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.last()->icon, QMessageBox::Warning);
    QCOMPARE(boxes.last()->parent, &p.page);
    QVERIFY2(boxes.last()->text.contains(says), qPrintable(boxes.last()->text));
    QVERIFY2(boxes.last()->text.contains(QStringLiteral("Nothing was sent")), qPrintable(boxes.last()->text));
}

void TestDevSereachPage::commandsFromTheMenuWithoutASearch()
{
    BoxRecorder boxes;
    SearchPageDriver p;
    QVERIFY(p.feed.networkInfo(networkInfoText("10.1.0.5", "10.1.0.5", "02:4E:51:00:00:07")));
    // The dialog offers the card's interfaces; rejected, nothing is sent and
    // nothing said.
    QStringList offered;
    bool parentless = false;
    DialogSetIPWatcher watcher([&](DialogSetIP* dialog) {
        auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("comboBoxIntf"));
        for (int i = 0; i < combo->count(); ++i)
            offered.append(combo->itemText(i));
        parentless = dialog->parent() == nullptr;
        dialog->reject();
    });
    boxes.answerDialog(QStringLiteral("Set IP address"));
    p.menuOn(p.tree->topLevelItem(0)->child(1));
    QCOMPARE(offered, (QStringList { "eth0", "eth1" }));
    QVERIFY(parentless);
    QVERIFY(boxes.boxes.isEmpty());

    // No search ran, so the link layer has no capture open: the command
    // cannot go out, and the technician is told instead of waiting for a
    // reply that never comes.
    boxes.answerDialog(QStringLiteral("Reboot"));
    p.menuOn(p.tree->topLevelItem(0));
    QCOMPARE(boxes.boxes.size(), 1);
    QVERIFY2(boxes.last()->text.contains(QStringLiteral("could not be sent")), qPrintable(boxes.last()->text));
}

void TestDevSereachPage::setIpChecks_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("netmask");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<QString>("message"); // empty: accepted
    auto row = [](const char* tag, const char* ip, const char* netmask, const char* gateway, const char* message) {
        QTest::newRow(tag) << QString::fromLatin1(ip) << QString::fromLatin1(netmask) << QString::fromLatin1(gateway)
                           << QString::fromLatin1(message);
    };
    const char* const badIp = "IP address is invalid!";
    row("full settings", "192.168.1.20", "255.255.255.0", "192.168.1.1", "");
    row("address only", "192.168.1.20", "", "", "");
    row("gateway need not be in the subnet", "10.0.0.5", "255.0.0.0", "192.168.9.9", "");
    row("everything empty", "", "", "", badIp);
    row("leading zero", "192.168.01.20", "", "", badIp);
    row("above 255", "256.1.1.1", "", "", badIp);
    row("three numbers", "1.2.3", "", "", badIp);
    row("trailing space", "192.168.1.20 ", "", "", badIp);
    row("leading space", " 192.168.1.20", "", "", badIp);
    row("bad address hides the rest", "1.2.3", "x", "y", badIp);
    row("bad netmask hides the gateway", "10.0.0.5", "255.255", "10.0.0", "Netmask is invalid!");
    row("bad gateway", "10.0.0.5", "255.0.0.0", "10.0.0.1.1", "Gateway is invalid!");
}

void TestDevSereachPage::setIpChecks()
{
    QFETCH(QString, ip);
    QFETCH(QString, netmask);
    QFETCH(QString, gateway);
    QFETCH(QString, message);
    BoxRecorder boxes;
    DialogSetIP dialog;
    dialog.setInterfaces({ QStringLiteral("eth0") });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    fill(dialog, ip, netmask, gateway);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnSure")), Qt::LeftButton);
    if (message.isEmpty()) {
        QVERIFY(boxes.boxes.isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        return;
    }
    // Only the first failing check speaks; the dialog stays open with its values.
    QCOMPARE(boxes.texts(), QStringList { message });
    QCOMPARE(boxes.last()->parent, &dialog);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.ipSettings(), (QStringList { "eth0", ip, netmask, gateway }));
}

QTEST_MAIN(TestDevSereachPage)
#include "tst_devsereachpage.moc"
