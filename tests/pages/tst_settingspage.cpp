// The settings page's own decisions: the port records it sends and refuses
// to send, what it shows of the card's replies, and its boxes. The link and
// the wiring are tested elsewhere; replies are fed in.

#include "pages/settingspage.h"
#include "pagewire.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>

namespace {
const char* const kServices[] = { "SSH", "Telnet", "HTTP", "HTTPS" };

QCheckBox* check(const SettingsPage& page, int row)
{
    return childOf<QCheckBox>(page, QByteArray("checkBox").append(kServices[row]).constData());
}
QLineEdit* port(const SettingsPage& page, int row)
{
    return childOf<QLineEdit>(page, QByteArray("lePort").append(kServices[row]).constData());
}
// "on:22 off:23 ..." in the page's fields, or sets them from such a text.
QString rows(const SettingsPage& page)
{
    QStringList result;
    for (int i = 0; i < 4; ++i)
        result << QString::fromLatin1(check(page, i)->isChecked() ? "on:" : "off:") + port(page, i)->text();
    return result.join(QLatin1Char(' '));
}
void setRows(SettingsPage& page, const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '));
    for (int i = 0; i < 4; ++i) {
        check(page, i)->setChecked(parts.at(i).startsWith(QLatin1String("on:")));
        port(page, i)->setText(parts.at(i).section(QLatin1Char(':'), 1));
    }
}
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
    // A port out of 1..65534, checked or not, stops the write with a box.
    void writeAndItsAnswer_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("box");
        const QString ports = QStringLiteral("on:22 off:2323 on:8080 off:443");
        QTest::newRow("done") << ports << hexBytes("01") << "Information: Operation success! [warning, no parent]";
        QTest::newRow("refused") << ports << hexBytes("00") << "Warning: Operation failed! [warning, no parent]";
        QTest::newRow("no result byte") << ports << QByteArray() << "Warning: Operation failed! [warning, no parent]";
        const QString bad = QStringLiteral("Warning: Port settings error! [warning, no parent]");
        QTest::newRow("0 checked") << "on:0 on:23 on:80 on:443" << QByteArray() << bad;
        QTest::newRow("65535 unchecked") << "on:22 off:65535 on:80 on:443" << QByteArray() << bad;
        QTest::newRow("empty") << "on:22 on:23 off: on:443" << QByteArray() << bad;
    }
    void writeAndItsAnswer()
    {
        QFETCH(QString, rows);
        QFETCH(QByteArray, reply);
        QFETCH(QString, box);
        BoxRecorder boxes;
        SettingsPage page;
        page.show();
        QSignalSpy sent(&page, &SettingsPage::sendCmd);
        setRows(page, rows);
        click(page, "btnWrite");
        if (box.contains(QLatin1String("Port settings error!"))) {
            QCOMPARE(describe(boxes.last(), &page), box);
            QCOMPARE(boxes.boxes.size(), 1);
            QCOMPARE(sent.count(), 0);
            return;
        }
        QCOMPARE(sent.count(), 1);
        QCOMPARE(sent.first().at(0).toInt(), 17);
        QCOMPARE(
            sent.first().at(1).toByteArray().toHex(' '), hexBytes("01 00 16 00 09 13 01 1F 90 00 01 BB").toHex(' '));
        // The box that waits for the answer has no loop of its own; a second
        // write replaces it rather than adding one.
        QCOMPARE(describe(boxes.last(), &page), "Information: Writing data... [information, no parent]");
        QCOMPARE(boxes.last()->kind, MessageBox::Kind::Pending);
        click(page, "btnWrite");
        QTRY_COMPARE(writingBoxes(), 1);
        feed(page, 17, reply);
        feed(page, 17, reply);
        QCOMPARE(describe(boxes.last(), &page), box);
        QTRY_COMPARE(writingBoxes(), 0);
    }

    void replies_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown"); // the four rows, then the date field
        QTest::addColumn<QString>("box");
        const QString kept = QStringLiteral("on:1 off:2 on:3 off:4 typed");
        QTest::newRow("ports") << 16 << hexBytes("02 00 16 00 00 17 FF FF FE 01 00 00")
                               << "on:22 off:23 on:65534 on:0 typed"
                               << "Information: Read data finished! [information, page]";
        QTest::newRow("ports, 11 bytes") << 16 << hexBytes("01 00 16 00 00 17 01 1F 90 00 01") << kept
                                         << "Tip: Read data failed! [information, no parent]";
        QTest::newRow("date") << 6 << QByteArray("2031-05-06 07:08:09") << "on:1 off:2 on:3 off:4 2031-05-06 07:08:09"
                              << "no box";
        QTest::newRow("date, 20 bytes") << 6 << QByteArray("2031-05-06 07:08:09x") << kept
                                        << "Tip: Read date failed! [information, no parent]";
    }
    void replies()
    {
        QFETCH(int, cmd);
        QFETCH(QByteArray, reply);
        QFETCH(QString, shown);
        QFETCH(QString, box);
        BoxRecorder boxes;
        SettingsPage page;
        setRows(page, QStringLiteral("on:1 off:2 on:3 off:4"));
        childOf<QLineEdit>(page, "leDate")->setText(QStringLiteral("typed"));
        feed(page, cmd, reply);
        QCOMPARE(rows(page) + QLatin1Char(' ') + childOf<QLineEdit>(page, "leDate")->text(), shown);
        QCOMPARE(describe(boxes.last(), &page), box);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(port(page, i)->isEnabled(), check(page, i)->isChecked());
    }

    void syncSendsTheLocalTime()
    {
        SettingsPage page;
        QSignalSpy sent(&page, &SettingsPage::sendCmd);
        click(page, "btnDeviceDate");
        click(page, "btnSyncDate");
        QCOMPARE(sent.count(), 2);
        QCOMPARE((QList<int> { sent.at(0).at(0).toInt(), sent.at(1).at(0).toInt() }), (QList<int> { 6, 7 }));
        const QDateTime time
            = QDateTime::fromString(sent.at(1).at(1).toString(), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        QVERIFY(qAbs(time.secsTo(QDateTime::currentDateTime())) < 60);
    }
};

QTEST_MAIN(TestSettingsPage)
#include "tst_settingspage.moc"
