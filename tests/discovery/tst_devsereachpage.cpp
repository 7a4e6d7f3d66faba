// The search page's and the discovery session's own decisions, fed replies
// without a search: datagrams to the session's real listening socket over
// loopback, and texts as if its link layer had received them. "Refresh" is
// never pressed here (the searches run in tst_discovery_netns).

#include "support/boxrecorder.h"
#include "support/searchpagedriver.h"
#include "support/tablerows.h"
#include "support/testaddresses.h"

#include <QLineEdit>
#include <QUdpSocket>
#include <QtTest>

#include <algorithm>

namespace {

constexpr int kArea = 60;

// A UDP reply of a card with one interface eth0 at `address`; long form with
// `mac` (hexadecimal bytes) when one is given.
QByteArray udpReply(const QString& address, const QByteArray& product, const char* mac = nullptr)
{
    return hx("00 25 18") + char(product.size()) + product + (mac ? hx("00 12") : QByteArray()) + "\x04" + "eth0"
        + hx(QByteArray::number(QHostAddress(address).toIPv4Address(), 16).rightJustified(8, '0')) + hx("FF FF FF 00")
        + (mac ? hx(mac) : QByteArray());
}

// Network information: eth0 at `interfaceAddress` with `mac`, and an eth1.
QByteArray networkInfoText(const QString& host, const QString& interfaceAddress, const QString& mac)
{
    return QStringLiteral(
        R"({"host":"%1","product":"NQ","intfInfo":[["eth0","%2","255.255.0.0","%3"],["eth1","172.17.0.1","255.255.0.0","02:00:00:00:00:99"]]})")
        .arg(host, interfaceAddress, mac)
        .toUtf8();
}

// The page, and replies handed to its session: datagrams to its listening
// socket from a loopback address, texts as if its link layer had received
// them. Each waits (bounded) until the session has taken them, which it does
// in batches, one a turn of the event loop.
struct Page : SearchPageDriver {
    QUdpSocket* listener() const
    {
        for (QUdpSocket* s : session->findChildren<QUdpSocket*>())
            if (s->localPort() == 8888)
                return s;
        return nullptr;
    }
    bool taken() const
    {
        auto* nextReplies = session->findChild<QTimer*>(QStringLiteral("timerReplies"));
        return waitUntil([&] { return !listener()->hasPendingDatagrams() && !nextReplies->isActive(); }, 2000);
    }
    bool deliver(const QString& from, const QByteArray& datagram)
    {
        QUdpSocket sender;
        return listener() && sender.bind(QHostAddress(from), 0)
            && sender.writeDatagram(datagram, QHostAddress::LocalHost, 8888) == datagram.size()
            && waitUntil([&] { return listener()->hasPendingDatagrams(); }, 2000) && taken();
    }
    bool networkInfo(const QByteArray& text)
    {
        return QMetaObject::invokeMethod(session, "onCommLinkNetworkInfo", Q_ARG(QByteArray, text)) && taken();
    }
};

// A row as the technician sees it: host, product, its card address and
// hardware address ("-" where none), then each interface row.
QString shown(QTreeWidgetItem* row)
{
    auto role = [row](int r) { return row->data(0, r).isValid() ? row->data(0, r).toString() : QStringLiteral("-"); };
    QStringList s { row->text(0), row->text(1), role(DevSereachPage::kCardAddressRole),
        role(DevSereachPage::kCardHardwareAddressRole) };
    for (int i = 0; i < row->childCount(); ++i) {
        QStringList texts;
        for (int column = 2; column <= 5; ++column)
            texts << row->child(i)->text(column);
        s << texts.join(' ').trimmed();
    }
    return s.join('|');
}

} // namespace

class TestDevSereachPage : public QObject {
    Q_OBJECT
    int m_case = 0;
    QString address(int card = 1) const { return TestAddresses::card(kArea, m_case, card); }

private slots:
    void repliesBecomeRows()
    {
        ++m_case;
        Page p;
        QVERIFY(p.deliver(address(1), udpReply(address(1), "abc")));
        QVERIFY(p.deliver(address(2), udpReply(address(2), "def", "02 4E 51 0A 0B 0C")));
        QVERIFY(p.deliver(address(3), hx("00 25 18 05 61 62 63")));
        QVERIFY(p.networkInfo(networkInfoText("10.1.0.5", "10.1.0.5", "02:4e:51:00:00:07")));
        // The last one's host is on none of its interfaces.
        QVERIFY(p.networkInfo(networkInfoText("10.1.0.6", "10.9.9.9", "02:4E:51:00:00:08")));
        QStringList rows;
        for (int i = 0; i < p.tree->topLevelItemCount(); ++i)
            rows << shown(p.tree->topLevelItem(i));
        const QString eth1 = QStringLiteral("|eth1 172.17.0.1 255.255.0.0 02:00:00:00:00:99");
        // Newest on top; the card's hardware address as the card wrote it in
        // its interface row.
        QCOMPARE(rows,
            (QStringList { "10.1.0.6|NQ|-|-|eth0 10.9.9.9 255.255.0.0 02:4E:51:00:00:08" + eth1,
                "10.1.0.5|NQ|10.1.0.5|02:4E:51:00:00:07|eth0 10.1.0.5 255.255.0.0 02:4e:51:00:00:07" + eth1,
                address(3) + "|Unknown|" + address(3) + "|-",
                address(2) + "|def|" + address(2) + "|02:4E:51:0A:0B:0C|eth0 " + address(2)
                    + " 255.255.255.0 02:4E:51:0A:0B:0C",
                address(1) + "|abc|" + address(1) + "|-|eth0 " + address(1) + " 255.255.255.0" }));
        QVERIFY(p.tree->topLevelItem(4)->isExpanded());
        // The link layer completes the row of a short UDP reply in place.
        QVERIFY(p.networkInfo(networkInfoText(address(1), address(1), "02:4E:51:00:00:09")));
        QCOMPARE(p.macs().mid(3), (QStringList { "02:4E:51:0A:0B:0C", "02:4E:51:00:00:09" }));
    }

    void aBurstIsTakenInTurns()
    {
        // 150 cards answer by UDP and 150 others by the link layer at once: no
        // turn of the event loop takes more than 64 replies of either protocol,
        // and every card is reported once, in order. The first link-layer card
        // answers without its hardware address, then with it, in one turn: its
        // row is reported complete, not completed afterwards.
        ++m_case;
        DiscoverySession session;
        QSignalSpy found(&session, &DiscoverySession::cardsFound);
        QSignalSpy completions(&session, &DiscoverySession::rowCompleted);
        auto info = [&](const QString& host, const QString& mac) {
            QMetaObject::invokeMethod(
                &session, "onCommLinkNetworkInfo", Q_ARG(QByteArray, networkInfoText(host, host, mac)));
        };
        QObject senders; // one socket per card
        for (int card = 1; card <= 150; ++card) {
            auto* sender = new QUdpSocket(&senders);
            QVERIFY(sender->bind(QHostAddress(address(card)), 0));
            sender->writeDatagram(udpReply(address(card), "NQ"), QHostAddress::LocalHost, 8888);
            const QString host = QStringLiteral("10.61.0.%1").arg(card);
            if (card == 1)
                info(host, QString());
            info(host, QStringLiteral("02:4E:51:00:01:%1").arg(card, 2, 16, QLatin1Char('0')).toUpper());
        }
        QTRY_COMPARE(session.cards().size(), 300);
        int next = 0;
        for (const QList<QVariant>& report : qAsConst(found)) {
            QCOMPARE(report.at(0).toInt(), next);
            QVERIFY2(report.at(1).toInt() <= 64, qPrintable(report.at(1).toString()));
            next += report.at(1).toInt();
        }
        QVERIFY(next == 300 && completions.isEmpty());
        QVERIFY(std::any_of(session.cards().begin(), session.cards().end(), [](const Discovery::CardInfo& card) {
            return card.host == "10.61.0.1" && card.cardHardwareAddress == "02:4E:51:00:01:01";
        }));
    }

    void menuEntries()
    {
        ++m_case;
        BoxRecorder boxes;
        Page p;
        QVERIFY(p.deliver(address(1), udpReply(address(1), "NQ", "02 4E 51 00 00 01")));
        QVERIFY(p.deliver(address(2), hx("00 25 18 00 00 00 00")));
        QVERIFY(p.networkInfo(R"({"product":"NQ","intfInfo":[["eth0","10.1.1.1","255.0.0.0","02:00:00:00:00:01"]]})"));
        // On a card row, a card without interfaces, empty space, then the row
        // and an interface row of a card without address ("-": no menu).
        QStringList offered;
        for (QTreeWidgetItem* row : QList<QTreeWidgetItem*> { p.tree->topLevelItem(2), p.tree->topLevelItem(1), nullptr,
                 p.tree->topLevelItem(0), p.tree->topLevelItem(0)->child(0) }) {
            const int before = boxes.dialogs.size();
            p.menuOn(row);
            offered << (boxes.dialogs.size() == before ? "-" : boxes.dialogs.last().menuEntries.join(','));
        }
        const QString full = QStringLiteral("Browse device,Set IP address,Reboot");
        QCOMPARE(offered, (QStringList { full, "Browse device,Reboot", "-", "-", full }));
        QVERIFY(boxes.boxes.isEmpty());
    }

    void refusedWithoutHardwareAddress_data()
    {
        QTest::addColumn<QString>("interfaceAddress");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("says");
        row("host on no interface, reboot", "10.9.9.9", "02:4E:51:00:00:08", "Reboot",
            "did not report its hardware address");
        row("broadcast address, set IP", "10.1.0.6", "ff:ff:ff:ff:ff:ff", "Set IP address",
            "does not name a single card");
    }
    void refusedWithoutHardwareAddress()
    {
        QFETCH(QString, interfaceAddress);
        QFETCH(QString, mac);
        QFETCH(QString, action);
        QFETCH(QString, says);
        BoxRecorder boxes;
        Page p;
        QVERIFY(p.networkInfo(networkInfoText("10.1.0.6", interfaceAddress, mac)));
        // Refused before the dialog: nothing to fill in for a card that cannot
        // be reached (a dialog that opens all the same is closed, and noted).
        DialogSetIPWatcher watcher([](DialogSetIP* dialog) { dialog->reject(); });
        boxes.answerDialog(action);
        p.menuOn(p.tree->topLevelItem(0));
        QVERIFY(!watcher.seen && boxes.dialogs.size() == 1 && boxes.boxes.size() == 1);
        QVERIFY(boxes.last()->icon == QMessageBox::Warning && boxes.last()->parent == &p.page);
        const QString text = boxes.last()->text;
        QVERIFY2(text.contains(says) && text.contains(QStringLiteral("Nothing was sent")), qPrintable(text));
    }

    void commandsFromTheMenuWithoutASearch()
    {
        BoxRecorder boxes;
        Page p;
        QVERIFY(p.networkInfo(networkInfoText("10.1.0.5", "10.1.0.5", "02:4E:51:00:00:07")));
        // The dialog opens without a parent (the interfaces it offers are chosen
        // in the real search); rejected, nothing is sent and nothing said.
        bool parented = true;
        DialogSetIPWatcher watcher([&](DialogSetIP* dialog) {
            parented = dialog->parent();
            dialog->reject();
        });
        boxes.answerDialog(QStringLiteral("Set IP address"));
        p.menuOn(p.tree->topLevelItem(0)->child(1));
        QVERIFY(watcher.seen && !parented && boxes.boxes.isEmpty());
        // No search ran, so the link layer has no capture open: the command
        // cannot go out, and the technician is told instead of waiting.
        boxes.answerDialog(QStringLiteral("Reboot"));
        p.menuOn(p.tree->topLevelItem(0));
        QCOMPARE(boxes.boxes.size(), 1);
        QVERIFY2(boxes.last()->text.contains(QStringLiteral("could not be sent")), qPrintable(boxes.last()->text));
    }

    void setIpChecks_data()
    {
        QTest::addColumn<QString>("typed"); // address|netmask|gateway
        QTest::addColumn<QString>("message"); // empty: accepted
        const char* const badIp = "IP address is invalid!";
        row("full settings", "192.168.1.20|255.255.255.0|192.168.1.1", "");
        row("address only", "192.168.1.20||", "");
        row("gateway need not be in the subnet", "10.0.0.5|255.0.0.0|192.168.9.9", "");
        row("everything empty", "||", badIp);
        row("trailing space", "192.168.1.20 ||", badIp);
        row("leading space", " 192.168.1.20||", badIp);
        row("bad address hides the rest", "1.2.3|x|y", badIp);
        row("bad netmask hides the gateway", "10.0.0.5|255.255|10.0.0", "Netmask is invalid!");
        row("bad gateway", "10.0.0.5|255.0.0.0|10.0.0.1.1", "Gateway is invalid!");
    }
    void setIpChecks()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        const QStringList settings = typed.split(QLatin1Char('|'));
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
};

QTEST_MAIN(TestDevSereachPage)
#include "tst_devsereachpage.moc"
