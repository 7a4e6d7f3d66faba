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
    void keyboardAccess();
    void checks_data();
    void checks();
    void execAcceptsOnlyValidSettings();
    void closingRejects_data();
    void closingRejects();
};

void TestDialogSetIP::keyboardAccess()
{
    // Every field has its label as buddy, Tab goes through the form in
    // order, and "Sure" is the default button.
    DialogSetIP dialog;
    auto* combo = child<QComboBox>(dialog, "comboBoxIntf");
    auto* sure = child<QPushButton>(dialog, "btnSure");
    const QList<QWidget*> fields { combo, child<QLineEdit>(dialog, "leIP"), child<QLineEdit>(dialog, "leNetmask"),
        child<QLineEdit>(dialog, "leGateway") };
    const char* const labels[] = { "label", "label_2", "label_3", "label_4" };
    for (int i = 0; i < fields.size(); ++i)
        QCOMPARE(child<QLabel>(dialog, labels[i])->buddy(), fields.at(i));
    QVERIFY(sure->isDefault());

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    combo->setFocus();
    for (QWidget* next : fields.mid(1) + QList<QWidget*> { sure, combo }) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

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
    QCOMPARE(boxes.last()->title, QStringLiteral("Warning"));
    QCOMPARE(boxes.last()->icon, QMessageBox::Warning);
    QCOMPARE(boxes.last()->buttons, QStringList { QStringLiteral("Sure") });
    QCOMPARE(boxes.last()->parent, &dialog);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.ipSettings(), (QStringList { "eth0", ip, netmask, gateway }));
}

void TestDialogSetIP::execAcceptsOnlyValidSettings()
{
    // Typed and confirmed from the keyboard: a bad address first, then a good one.
    BoxRecorder boxes;
    DialogSetIP dialog;
    dialog.setInterfaces({ QStringLiteral("eth0") });
    int steps = 0;
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (!dialog.isVisible() || ++steps > 200)
            return;
        auto* ip = child<QLineEdit>(dialog, "leIP");
        if (boxes.boxes.isEmpty()) {
            ip->setFocus();
            QTest::keyClicks(ip, QStringLiteral("10.0.0"));
            QTest::keyClick(ip, Qt::Key_Return);
        } else {
            QTest::keyClicks(ip, QStringLiteral(".9"));
            QTest::keyClick(ip, Qt::Key_Return);
        }
    });
    driver.start();
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(boxes.texts(), QStringList { QStringLiteral("IP address is invalid!") });
    QCOMPARE(dialog.ipSettings().at(1), QStringLiteral("10.0.0.9"));
}

void TestDialogSetIP::closingRejects_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("close button") << false;
    QTest::newRow("escape") << true;
}

void TestDialogSetIP::closingRejects()
{
    QFETCH(bool, escape);
    BoxRecorder boxes;
    DialogSetIP dialog;
    fill(dialog, QStringLiteral("10.0.0.5"), QString(), QString());
    QTimer::singleShot(50, &dialog, [&] {
        if (escape)
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(boxes.boxes.isEmpty());
}

QTEST_MAIN(TestDialogSetIP)
#include "tst_dialogsetip.moc"
