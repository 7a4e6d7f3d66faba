// What the pages show once the card is lost: the generic wire faults are the
// link's and each operation's tests, the pages' answers to malformed replies
// their own tests'. A card lost while a log file or the serial port is open
// leaves nothing open on the next connection, and the buttons say so.

#include "pages/pagewire.h"
#include "support/testaddresses.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

class TestPageFaults : public QObject {
    Q_OBJECT

private slots:
    void openStatesEndWithTheLink()
    {
        PageOnWire<DisplayLogPage> log(TestAddresses::card(80, 1),
            { "--log-files", "system.log,network.log", "--log-lines", "8", "--close-after", "3" });
        QVERIFY(log.start());
        log.click("Refresh");
        QTRY_COMPARE(log.child<QComboBox>("comboBoxLogType")->count(), 2);
        log.click("btnOpen");
        QTRY_VERIFY(log.page.isLogOpen());
        log.link.send(3); // the card drops the connection on this one
        QTRY_VERIFY(!log.link.isConnected());
        QVERIFY(!log.page.isLogOpen());
        QCOMPARE(log.child<QPushButton>("btnOpen")->text(), QStringLiteral("Open"));
        log.link.connectToDevice(log.address);
        QVERIFY(log.link.isConnected());
        log.click("Refresh"); // the list went with the link
        QTRY_COMPARE(log.child<QComboBox>("comboBoxLogType")->count(), 2);
        log.click("btnOpen");
        QTRY_VERIFY(log.page.isLogOpen());
        QVERIFY(log.boxes.boxes.isEmpty());

        PageOnWire<SPTestPage> serial(TestAddresses::card(80, 2), { "--close-after", "2" });
        QVERIFY(serial.start());
        serial.child<QRadioButton>("rbASCII")->setChecked(true);
        serial.click("btnOpen");
        QTRY_VERIFY(serial.page.isPortOpen());
        serial.child<QLineEdit>("leSendData")->setText(QStringLiteral("01"));
        serial.click("btnSend"); // dropped here
        QTRY_VERIFY(!serial.link.isConnected());
        QVERIFY(!serial.page.isPortOpen());
        QCOMPARE(serial.child<QPushButton>("btnOpen")->text(), QStringLiteral("Connect"));
        QVERIFY(serial.boxes.boxes.isEmpty());
    }
};

QTEST_MAIN(TestPageFaults)
#include "tst_pagefaults.moc"
