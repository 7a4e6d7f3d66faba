// The set-IP dialog as the technician meets it: its checks in order, what it
// hands back, and its use from the keyboard.

#include "discovery/dialogsetip.h"
#include "support/boxrecorder.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

template <typename T> T* child(QWidget& dialog, const char* name)
{
    return dialog.findChild<T*>(QString::fromLatin1(name));
}

void fill(DialogSetIP& dialog, const QString& ip, const QString& netmask, const QString& gateway)
{
    child<QLineEdit>(dialog, "leIP")->setText(ip);
    child<QLineEdit>(dialog, "leNetmask")->setText(netmask);
    child<QLineEdit>(dialog, "leGateway")->setText(gateway);
}

} // namespace

class TestDialogSetIP : public QObject {
    Q_OBJECT

private slots:
    void checks_data();
    void checks();
};

void TestDialogSetIP::checks_data()
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

void TestDialogSetIP::checks()
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
    QTest::mouseClick(child<QPushButton>(dialog, "btnSure"), Qt::LeftButton);
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

QTEST_MAIN(TestDialogSetIP)
#include "tst_dialogsetip.moc"
