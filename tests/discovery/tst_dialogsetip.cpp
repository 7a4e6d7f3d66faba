// The set-IP dialog as the technician meets it: its form, its checks in
// order, and what it hands back.

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
    void form();
    void checks_data();
    void checks();
    void settingsAsEntered();
    void execAcceptsOnlyValidSettings();
    void closingRejects_data();
    void closingRejects();
};

void TestDialogSetIP::form()
{
    DialogSetIP dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("DialogSetIP"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Set IP Address"));
    QCOMPARE(dialog.size(), QSize(300, 180));
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint)));

    const struct {
        const char* label;
        const char* text;
        const char* field;
        const char* placeholder;
    } rows[] = {
        { "label", "Interface:", "comboBoxIntf", nullptr },
        { "label_2", "IP Address:", "leIP", "" },
        { "label_3", "Netmask:", "leNetmask", "optional" },
        { "label_4", "Gateway:", "leGateway", "optional" },
    };
    for (const auto& row : rows) {
        auto* label = child<QLabel>(dialog, row.label);
        QVERIFY2(label, row.label);
        QCOMPARE(label->text(), QString::fromLatin1(row.text));
        QWidget* field = dialog.findChild<QWidget*>(QString::fromLatin1(row.field));
        QVERIFY2(field, row.field);
        QCOMPARE(label->buddy(), field);
        if (auto* edit = qobject_cast<QLineEdit*>(field)) {
            QCOMPARE(edit->placeholderText(), QString::fromLatin1(row.placeholder));
            QCOMPARE(edit->alignment(), Qt::AlignCenter);
            QVERIFY(edit->text().isEmpty());
        }
    }
    auto* combo = child<QComboBox>(dialog, "comboBoxIntf");
    QVERIFY(!combo->isEditable());
    QCOMPARE(combo->count(), 0);
    auto* sure = child<QPushButton>(dialog, "btnSure");
    QCOMPARE(sure->text(), QStringLiteral("Sure"));
    QVERIFY(sure->isDefault());

    // Reachable by Tab in form order.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    combo->setFocus();
    const QList<QWidget*> order { child<QLineEdit>(dialog, "leIP"), child<QLineEdit>(dialog, "leNetmask"),
        child<QLineEdit>(dialog, "leGateway"), sure, combo };
    for (QWidget* next : order) {
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

    const QString badIp = QStringLiteral("IP address is invalid!");
    const QString badMask = QStringLiteral("Netmask is invalid!");
    const QString badGateway = QStringLiteral("Gateway is invalid!");
    QTest::newRow("full settings") << "192.168.1.20"
                                   << "255.255.255.0"
                                   << "192.168.1.1"
                                   << "";
    QTest::newRow("address only") << "192.168.1.20"
                                  << ""
                                  << ""
                                  << "";
    QTest::newRow("all zero") << "0.0.0.0"
                              << ""
                              << ""
                              << "";
    QTest::newRow("mask need not be contiguous") << "10.0.0.5"
                                                 << "255.255.0.255"
                                                 << ""
                                                 << "";
    QTest::newRow("gateway need not be in the subnet") << "10.0.0.5"
                                                       << "255.0.0.0"
                                                       << "192.168.9.9"
                                                       << "";
    QTest::newRow("everything empty") << ""
                                      << ""
                                      << "" << badIp;
    QTest::newRow("leading zero") << "192.168.01.20"
                                  << ""
                                  << "" << badIp;
    QTest::newRow("above 255") << "256.1.1.1"
                               << ""
                               << "" << badIp;
    QTest::newRow("three numbers") << "1.2.3"
                                   << ""
                                   << "" << badIp;
    QTest::newRow("trailing dot") << "1.2.3.4."
                                  << ""
                                  << "" << badIp;
    QTest::newRow("trailing space") << "192.168.1.20 "
                                    << ""
                                    << "" << badIp;
    QTest::newRow("leading space") << " 192.168.1.20"
                                   << ""
                                   << "" << badIp;
    QTest::newRow("bad address hides the rest") << "1.2.3"
                                                << "x"
                                                << "y" << badIp;
    QTest::newRow("bad netmask") << "10.0.0.5"
                                 << "255.255.255.256"
                                 << "" << badMask;
    QTest::newRow("bad netmask and gateway") << "10.0.0.5"
                                             << "255.255"
                                             << "10.0.0" << badMask;
    QTest::newRow("netmask with a space") << "10.0.0.5"
                                          << "255.0.0.0 "
                                          << "" << badMask;
    QTest::newRow("bad gateway") << "10.0.0.5"
                                 << "255.0.0.0"
                                 << "10.0.0.1.1" << badGateway;
    QTest::newRow("gateway alone bad") << "10.0.0.5"
                                       << ""
                                       << "gateway" << badGateway;
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

void TestDialogSetIP::settingsAsEntered()
{
    DialogSetIP dialog;
    dialog.setInterfaces({ QStringLiteral("eth0"), QStringLiteral("eth1") });
    dialog.setInterfaces({ QStringLiteral("wlan0") });
    auto* combo = child<QComboBox>(dialog, "comboBoxIntf");
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(2), QStringLiteral("wlan0"));
    combo->setCurrentIndex(1);
    fill(dialog, QStringLiteral("10.0.0.5"), QString(), QString());
    QCOMPARE(dialog.ipSettings(), (QStringList { "eth1", "10.0.0.5", "", "" }));
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
