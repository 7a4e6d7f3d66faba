// Each page's own decisions, with the card's replies fed in: what it shows, sends, refuses and enables, its boxes,
// what it forgets when the link closes (the link and the wiring are tested in tests/link and tests/mainwindow); files
// are real, in temporary folders. Last, what a screen reader finds on every page and dialog.

#include "discovery/dialogsetip.h"
#include "mainwindow/mainwindow.h"
#include "pages/displaylogpage.h"
#include "pages/fixedparampage.h"
#include "pages/loglist.h"
#include "pages/pageroot.h"
#include "pages/settingspage.h"
#include "pages/sptestpage.h"
#include "programming/batchprogrammingdialog.h"
#include "support/boxrecorder.h"
#include "support/tablerows.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTranslator>
#include <QtTest>
#include <functional>

using Make = std::function<QWidget*()>;
Q_DECLARE_METATYPE(Make)

namespace {

const QByteArray kYes("\1");

template <typename W> W* childOf(const QWidget& page, const QByteArray& name)
{
    return page.findChild<W*>(QString::fromLatin1(name));
}
// A box in one line, "Title: text [icon, parent]", so that what a box said
// and where it stood are compared in one go.
QString describe(const MessageBox::Box* box, const QWidget* page)
{
    if (!box)
        return QStringLiteral("no box");
    static const char* const icons[] = { "no icon", "information", "warning", "critical", "question" };
    const char* parent = !box->parent ? "no parent" : box->parent == page ? "page" : "other parent";
    return QStringLiteral("%1: %2 [%3, %4]")
        .arg(box->title, box->text, QLatin1String(icons[box->icon]), QLatin1String(parent));
}

// A page with its boxes answered and what it sends recorded.
template <typename Page> struct Rig {
    BoxRecorder boxes;
    Page page;
    QSignalSpy sent { &page, &Page::sendCmd };
    template <typename W = QPushButton> W* child(const char* name) const { return childOf<W>(page, name); }
    void click(const char* button) const { QTest::mouseClick(child(button), Qt::LeftButton); }
    // Hands a reply to the page as if the link had received it.
    void feed(int cmd, const QByteArray& data) { page.handleRespond(cmd, bytes(data), data.size()); }
    void openPort() // the serial port, as the card accepts it
    {
        click("btnOpen");
        feed(11, kYes);
    }
    QString box() const { return describe(boxes.last(), &page); }
};

QStringList offered(const DisplayLogPage& page)
{
    auto* combo = childOf<QComboBox>(page, "comboBoxLogType");
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names.append(combo->itemText(i));
    return names;
}
const auto text = [](const DisplayLogPage& page) { return childOf<QTextEdit>(page, "textLog")->toPlainText(); };

// "k=v|k2=v2" as the parameter table's rows, filled the way the technician's
// edits fill them, and back.
const auto table = [](const FixedParamPage& page) { return childOf<QTableWidget>(page, "tableWidgetParam"); };
void setRows(FixedParamPage& page, const QString& text)
{
    table(page)->setRowCount(0);
    for (const QString& part : text.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        QTest::mouseClick(childOf<QPushButton>(page, "btnAdd"), Qt::LeftButton);
        const int row = table(page)->rowCount() - 1;
        table(page)->item(row, 0)->setText(part.section(QLatin1Char('='), 0, 0));
        table(page)->item(row, 1)->setText(part.section(QLatin1Char('='), 1));
    }
}
QString rows(const FixedParamPage& page)
{
    QStringList parts;
    for (int row = 0; row < table(page)->rowCount(); ++row)
        parts << table(page)->item(row, 0)->text() + QLatin1Char('=') + table(page)->item(row, 1)->text();
    return parts.join(QLatin1Char('|'));
}

// "on:22 off:23 ..." in the port fields, and back.
const char* const kServices[] = { "SSH", "Telnet", "HTTP", "HTTPS" };
const auto check
    = [](const SettingsPage& page, int i) { return childOf<QCheckBox>(page, QByteArray("checkBox") + kServices[i]); };
const auto port
    = [](const SettingsPage& page, int i) { return childOf<QLineEdit>(page, QByteArray("lePort") + kServices[i]); };
QString rows(const SettingsPage& page)
{
    QStringList result;
    for (int i = 0; i < 4; ++i)
        result << QString::fromLatin1(check(page, i)->isChecked() ? "on:" : "off:") + port(page, i)->text();
    return result.join(QLatin1Char(' '));
}
void setRows(SettingsPage& page, const QString& text)
{
    for (int i = 0; i < 4; ++i) {
        check(page, i)->setChecked(text.section(QLatin1Char(' '), i, i).startsWith(QLatin1String("on:")));
        port(page, i)->setText(text.section(QLatin1Char(' '), i, i).section(QLatin1Char(':'), 1));
    }
}
int writingBoxes()
{
    int alive = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        alive += qobject_cast<QMessageBox*>(w) && static_cast<QMessageBox*>(w)->text() == "Writing data...";
    return alive;
}

const auto record = [](const SPTestPage& page) {
    return childOf<QTextBrowser>(page, "textBrowserRecord")->toPlainText().split(QLatin1Char('\n'));
};
// Marks every text of the page, to see what it sets again on a language change.
class MarkingTranslator : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        return qstrcmp(context, "SPTestPage") == 0 ? QStringLiteral("~") + QString::fromUtf8(source) : QString();
    }
    bool isEmpty() const override { return false; }
};

bool isInputOrView(const QWidget* w)
{
    // Combo and spin boxes name their own parts (a combo box's list sits in
    // a popup container); a table's corner button is no Tab stop.
    for (const QWidget* up = w->parentWidget(); up; up = up->parentWidget()) {
        if (up->inherits("QComboBox") || up->inherits("QComboBoxPrivateContainer") || up->inherits("QAbstractSpinBox"))
            return false;
    }
    if (qobject_cast<const QHeaderView*>(w)
        || (w->focusPolicy() == Qt::NoFocus && qobject_cast<const QAbstractButton*>(w)))
        return false;
    return w->inherits("QLineEdit") || w->inherits("QComboBox") || w->inherits("QAbstractItemView")
        || w->inherits("QTextEdit") || w->inherits("QProgressBar") || w->inherits("QAbstractButton")
        || w->inherits("QAbstractSpinBox");
}

// The object a screen reader finds by role and name, as its object name.
QString find(QAccessibleInterface* node, QAccessible::Role role, const QString& name, int depth = 0)
{
    if (!node || depth > 12)
        return QString();
    if (node->role() == role && node->text(QAccessible::Name) == name)
        return node->object()->objectName();
    for (int i = 0; i < node->childCount(); ++i) {
        const QString found = find(node->child(i), role, name, depth + 1);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

} // namespace

class TestPages : public QObject {
    Q_OBJECT

    QTemporaryDir m_workDir;

private slots:
    // The main window keeps its files in the working directory.
    void initTestCase() { QVERIFY(QDir::setCurrent(m_workDir.path())); }

    void logList_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("names");
        row("repeated once, case counts", LogList::build({ "a.log", "b.log", "a.log", "A.log" }),
            QStringList { "a.log", "b.log", "A.log" });
        row("no data", QByteArray(), QStringList());
    }
    void logList()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, names);
        Rig<DisplayLogPage> r;
        // Open with no names only warns.
        r.click("btnOpen");
        QCOMPARE(r.box(), "Warning: Log file error! [warning, no parent]");
        QCOMPARE(r.sent.count(), 0);
        r.boxes.clear();
        for (int i = 0; i < 2; ++i) {
            r.click("Refresh");
            QCOMPARE(offered(r.page), QStringList()); // emptied at once
            r.feed(8, reply);
        }
        QCOMPARE(r.sent, (QList<QVariantList> { { 8, QByteArray() }, { 8, QByteArray() } }));
        QCOMPARE(offered(r.page), names);
        // Only the answer to a refresh tells of an empty list.
        r.feed(8, reply);
        const QStringList none { QStringLiteral("No log file is accessible!") };
        QCOMPARE(r.boxes.texts(), names.isEmpty() ? none + none : QStringList());
    }

    void logOpenFollowClose()
    {
        Rig<DisplayLogPage> r;
        auto* open = r.child<QPushButton>("btnOpen");
        auto* choice = r.child<QComboBox>("comboBoxLogType");
        r.feed(8, LogList::build({ "system.log", "network.log" }));
        // Answers nobody asked for change nothing.
        r.feed(9, kYes);
        QVERIFY(!r.page.isLogOpen());
        choice->setCurrentIndex(1);
        open->click();
        QCOMPARE(open->text(), QStringLiteral("Open")); // open only once the card says so
        r.feed(9, hx("00"));
        QCOMPARE(r.box(), "Information: Open log file failed! [information, no parent]");
        open->click();
        r.feed(9, kYes);
        QVERIFY(r.page.isLogOpen());
        QCOMPARE(open->text(), QStringLiteral("Close"));
        r.feed(10, "one");
        r.feed(10, "\xe6\xb8\xa9\xe5\xba\xa6 25 \xc2\xb0");
        QCOMPARE(text(r.page), QStringLiteral("one\n\u6e29\u5ea6 25 \u00b0"));
        r.click("btnClear");
        QCOMPARE(text(r.page), QString());
        QVERIFY(r.page.isLogOpen());

        // The close names the file that is open, whatever is chosen now, and
        // the card's answer to it opens nothing again.
        choice->setCurrentIndex(0);
        open->click();
        QVERIFY(!r.page.isLogOpen());
        r.feed(9, kYes);
        QVERIFY(!r.page.isLogOpen());
        QCOMPARE(open->text(), QStringLiteral("Open"));
        const QVariantList openOrClose { 9, QByteArray("network.log") };
        QCOMPARE(r.sent, (QList<QVariantList> { openOrClose, openOrClose, openOrClose }));
        QCOMPARE(r.boxes.boxes.size(), 1);

        // An open log ends with the link, and its list goes with it.
        open->click();
        r.feed(9, kYes);
        r.page.linkChanged();
        QVERIFY(!r.page.isLogOpen());
        QCOMPARE(open->text() + offered(r.page).join(QString()), QStringLiteral("Open"));
    }

    // A number shows as empty; a bare MAC gets its colons, under its exact key only.
    void paramsReadReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("box");
        row("ascending keys", R"({"name":"x","count":5,"ethaddr":"001A2B3C4D5E","Ethaddr":"001a"})",
            "Ethaddr=001a|count=|ethaddr=00:1A:2B:3C:4D:5E|name=x",
            "Information: Read data finished! [information, page]");
        row("an array", "[1]", "old=1", "Warning: Read data failed! [warning, page]");
    }
    void paramsReadReply()
    {
        QFETCH(QString, reply);
        QFETCH(QString, shown);
        QFETCH(QString, box);
        Rig<FixedParamPage> r;
        setRows(r.page, QStringLiteral("old=1"));
        r.feed(14, reply.toUtf8());
        QCOMPARE(rows(r.page), shown);
        QCOMPARE(r.box(), box);
    }

    void paramsWrite_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<int>("answer"); // to the empty-item question, -1 when none comes
        QTest::addColumn<QByteArray>("json"); // empty when nothing is sent
        QTest::addColumn<QString>("box"); // the last one
        const QString empty
            = QStringLiteral("Warning: There is item or value is empty! And these will no be set to device!\n"
                             "Do you want to continue? [warning, page]");
        row("complete", "name=Rack 4|ethaddr=0a1b2c3d4e5f", -1,
            QByteArray(R"({"ethaddr":"0a:1b:2c:3d:4e:5f","name":"Rack 4"})"), "no box");
        row("bad MAC", "ethaddr=00:11:22:33:44", -1, QByteArray(), "Warning: Invaild settings! [warning, page]");
        row("empty items, Yes", "name=A|devserial=|=orphan", 0, QByteArray(R"({"name":"A"})"), empty);
        row("empty items, No", "name=A|devserial=", 1, QByteArray(), empty);
        row("empty table", "", -1, QByteArray(), "no box");
    }
    void paramsWrite()
    {
        QFETCH(QString, rows);
        QFETCH(int, answer);
        QFETCH(QByteArray, json);
        QFETCH(QString, box);
        Rig<FixedParamPage> r;
        setRows(r.page, rows);
        if (answer >= 0)
            r.boxes.answerNext(answer);
        r.click("btnWrite");
        QCOMPARE(r.box(), box);
        if (answer >= 0)
            QCOMPARE(r.boxes.last()->escapeIndex, 1);
        QCOMPARE(r.sent, (json.isEmpty() ? QList<QVariantList>() : QList<QVariantList> { { 15, json } }));
        if (json.isEmpty())
            return;
        r.feed(15, QByteArray());
        QCOMPARE(r.box(), "Warning: Operation failed! [warning, no parent]");
        r.feed(15, kYes);
        QCOMPARE(r.box(), "Information: Operation success! [warning, no parent]");
    }

    void paramsBackupAndLoad()
    {
        Rig<FixedParamPage> r;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("card.ini"));
        // Nothing to back up: no dialog.
        r.click("btnReset");
        r.click("btnBackup");
        QCOMPARE(r.boxes.texts(), QStringList { QStringLiteral("No content to backup!") });
        QVERIFY(r.boxes.dialogs.isEmpty());

        setRows(r.page, QStringLiteral("name=NMC 7, rack 2|devserial=|=orphan|a/b=slash|Zeta=last"));
        r.boxes.clear();
        r.boxes.answerDialog(path);
        r.click("btnBackup");
        QCOMPARE(r.boxes.dialogs.first().kind, DialogPrompt::Kind::SaveFile);
        QCOMPARE(r.boxes.dialogs.first().filter, QStringLiteral("(*.ini)"));
        QCOMPARE(r.boxes.texts(), QStringList { QStringLiteral("Save fixed parameter success!") });

        // Loading keeps the complete rows, in key order; a cancelled dialog or an
        // unreadable file changes nothing.
        r.click("btnReset");
        r.boxes.clear();
        r.click("btnLoad");
        r.boxes.answerDialog(dir.path());
        r.click("btnLoad");
        QCOMPARE(rows(r.page), QStringLiteral("name=|devserial=|ethaddr="));
        r.boxes.answerDialog(path);
        r.click("btnLoad");
        QCOMPARE(r.boxes.texts(), (QStringList { "Load fixed parameter failed!", "Load fixed parameter success!" }));
        QCOMPARE(rows(r.page), QStringLiteral("Zeta=last|a/b=slash|name=NMC 7, rack 2"));
    }

    // A port out of 1..65534, checked or not, stops the write with a box.
    void portsWrite_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("box");
        const QString ports = QStringLiteral("on:22 off:2323 on:8080 off:443");
        row("done", ports, kYes, "Information: Operation success! [warning, no parent]");
        row("refused", ports, hx("00"), "Warning: Operation failed! [warning, no parent]");
        const QString bad = QStringLiteral("Warning: Port settings error! [warning, no parent]");
        row("0 checked", "on:0 on:23 on:80 on:443", QByteArray(), bad);
        row("65535 unchecked", "on:22 off:65535 on:80 on:443", QByteArray(), bad);
        row("empty", "on:22 on:23 off: on:443", QByteArray(), bad);
    }
    void portsWrite()
    {
        QFETCH(QString, rows);
        QFETCH(QByteArray, reply);
        QFETCH(QString, box);
        Rig<SettingsPage> r;
        r.page.show();
        setRows(r.page, rows);
        r.click("btnWrite");
        if (box.contains(QLatin1String("Port settings error!"))) {
            QCOMPARE(r.box(), box);
            QCOMPARE(r.boxes.boxes.size(), 1);
            QCOMPARE(r.sent.count(), 0);
            return;
        }
        QCOMPARE(r.sent, (QList<QVariantList> { { 17, hx("01 00 16 00 09 13 01 1F 90 00 01 BB") } }));
        // The box that waits for the answer has no loop of its own; a second
        // write replaces it rather than adding one.
        QCOMPARE(r.box(), "Information: Writing data... [information, no parent]");
        QCOMPARE(r.boxes.last()->kind, MessageBox::Kind::Pending);
        r.click("btnWrite");
        QTRY_COMPARE(writingBoxes(), 1);
        r.feed(17, reply);
        r.feed(17, reply);
        QCOMPARE(r.box(), box);
        QTRY_COMPARE(writingBoxes(), 0);
    }

    void portsAndDateShown_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown"); // the four rows, then the date field
        QTest::addColumn<QString>("box");
        const QString kept = QStringLiteral("on:1 off:2 on:3 off:4 typed");
        row("ports", 16, hx("02 00 16 00 00 17 FF FF FE 01 00 00"), "on:22 off:23 on:65534 on:0 typed",
            "Information: Read data finished! [information, page]");
        row("ports, 11 bytes", 16, hx("01 00 16 00 00 17 01 1F 90 00 01"), kept,
            "Tip: Read data failed! [information, no parent]");
        row("date", 6, QByteArray("2031-05-06 07:08:09"), "on:1 off:2 on:3 off:4 2031-05-06 07:08:09", "no box");
        row("date, 20 bytes", 6, QByteArray("2031-05-06 07:08:09x"), kept,
            "Tip: Read date failed! [information, no parent]");
    }
    void portsAndDateShown()
    {
        QFETCH(int, cmd);
        QFETCH(QByteArray, reply);
        QFETCH(QString, shown);
        QFETCH(QString, box);
        Rig<SettingsPage> r;
        setRows(r.page, QStringLiteral("on:1 off:2 on:3 off:4"));
        r.child<QLineEdit>("leDate")->setText(QStringLiteral("typed"));
        r.feed(cmd, reply);
        QCOMPARE(rows(r.page) + QLatin1Char(' ') + r.child<QLineEdit>("leDate")->text(), shown);
        QCOMPARE(r.box(), box);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(port(r.page, i)->isEnabled(), check(r.page, i)->isChecked());
    }

    void dateSyncSendsTheLocalTime()
    {
        Rig<SettingsPage> r;
        r.click("btnDeviceDate");
        r.click("btnSyncDate");
        QVERIFY(r.sent.count() == 2 && r.sent.at(0) == (QVariantList { 6, QByteArray() }) && r.sent.at(1).at(0) == 7);
        const QDateTime time
            = QDateTime::fromString(r.sent.at(1).at(1).toString(), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        QVERIFY(qAbs(time.secsTo(QDateTime::currentDateTime())) < 60);
    }

    void serialOpenSendClose()
    {
        Rig<SPTestPage> r;
        auto* open = r.child<QPushButton>("btnOpen");
        // Closed: a send only warns, and answers nobody asked for change nothing.
        r.child<QLineEdit>("leSendData")->setText(QStringLiteral("01"));
        r.click("btnSend");
        QCOMPARE(r.box(), "Warning: Port not opened! [warning, no parent]");
        r.feed(11, kYes);
        QVERIFY(!r.page.isPortOpen());
        QCOMPARE(r.sent.count(), 0);

        r.child<QLineEdit>("lePortName")->setText(QStringLiteral("COM9"));
        open->click();
        QCOMPARE(r.sent.last().at(1).toByteArray().toHex(' '), hx("00 04 43 4F 4D 39 03 03 00 00 00").toHex(' '));
        r.feed(11, hx("00")); // refused
        QCOMPARE(r.box(), "Warning: Open device's serial port failed! [warning, no parent]");
        QVERIFY(!r.page.isPortOpen());
        open->click();
        r.feed(11, kYes);
        QVERIFY(r.page.isPortOpen());
        QCOMPARE(open->text(), QStringLiteral("Disconnect"));

        // Closing needs no answer, and the card's answer to it opens nothing.
        open->click();
        QCOMPARE(r.sent.last(), (QVariantList { 11, QByteArray() }));
        QVERIFY(!r.page.isPortOpen());
        r.feed(11, kYes);
        QVERIFY(!r.page.isPortOpen());
        QCOMPARE(open->text(), QStringLiteral("Connect"));
        QCOMPARE(r.boxes.boxes.size(), 2);

        // An open port ends with the link.
        r.openPort();
        r.page.linkChanged();
        QVERIFY(!r.page.isPortOpen());
        QCOMPARE(open->text(), QStringLiteral("Connect"));
    }

    void serialSend_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("shown");
        row("modbus", "rbModbus", "01 03 00 00 00 0A", hx("01030000000AC5CD"), "01 03 00 00 00 0a c5 cd ");
        row("hex", "rbHex", "01  1FF", hx("0100FF"), "01 00 ff ");
        row("ascii", "rbASCII", "a<b", hx("613C62"), "a<b");
        row("empty sends nothing", "rbHex", "", QByteArray(), "");
    }
    void serialSend()
    {
        QFETCH(QString, mode);
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        QFETCH(QString, shown);
        Rig<SPTestPage> r;
        r.openPort();
        r.sent.clear();
        r.child<QRadioButton>(qPrintable(mode))->click();
        auto* edit = r.child<QLineEdit>("leSendData");
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return); // Return sends like the button
        QCOMPARE(r.sent, (text.isEmpty() ? QList<QVariantList>() : QList<QVariantList> { { 12, wire } }));
        QCOMPARE(record(r.page).join(QString()).isEmpty(), text.isEmpty());
        if (text.isEmpty())
            return;
        // "[yyyy-MM-dd hh:mm:ss.zzz] Send: " then the payload; what the card's
        // port received is recorded the same way, as UTF-8 in text mode.
        r.feed(13, QByteArray("t=25\xc2\xb0"));
        const QStringList lines = record(r.page);
        QVERIFY2(lines.at(0).endsWith(QLatin1String("] Send: ")), qPrintable(lines.at(0)));
        QCOMPARE(lines.at(1), shown);
        QVERIFY(lines.at(3).endsWith(QLatin1String("] Receive: ")));
        QCOMPARE(lines.at(4), mode == "rbASCII" ? QStringLiteral("t=25\u00b0") : QStringLiteral("74 3d 32 35 c2 b0 "));
        QVERIFY(r.boxes.boxes.isEmpty());
    }

    void serialFailedSendClosesThePort()
    {
        Rig<SPTestPage> r;
        r.openPort();
        r.child<QLineEdit>("leSendData")->setText(QStringLiteral("01"));
        r.click("btnSend");
        r.feed(12, hx("00"));
        r.feed(12, hx("00")); // a repeated answer opens no second box
        QCOMPARE(r.boxes.texts(), QStringList { QStringLiteral("Send data to device's serial port failed!") });
        QVERIFY(!r.page.isPortOpen());
        QCOMPARE(r.child<QPushButton>("btnOpen")->text(), QStringLiteral("Connect"));
    }

    // The log and the serial port's record keep only their newest entries.
    void logAndRecordAreCapped()
    {
        Rig<DisplayLogPage> log;
        for (int i = 1; i <= DisplayLogPage::kMaxParagraphs + 1; ++i)
            log.feed(10, "line " + QByteArray::number(i));
        const QStringList p = text(log.page).split(QLatin1Char('\n'));
        QCOMPARE(p.size(), DisplayLogPage::kMaxParagraphs);
        QCOMPARE(p.first(), QStringLiteral("line 2"));
        Rig<SPTestPage> serial;
        for (int i = 0; i < SPTestPage::kMaxRecordEntries + 3; ++i)
            serial.feed(13, QByteArray(1, char(i)));
        const auto* doc = serial.child<QTextBrowser>("textBrowserRecord")->document();
        QCOMPARE(doc->blockCount(), SPTestPage::kMaxRecordEntries);
        QVERIFY2(
            doc->firstBlock().text().simplified().endsWith(QLatin1String(" 03")), qPrintable(doc->firstBlock().text()));
    }

    void serialRetranslationKeepsIndexes()
    {
        Rig<SPTestPage> r;
        auto* flow = r.child<QComboBox>("comboBoxFlowControl");
        flow->setCurrentIndex(2);
        r.child<QComboBox>("comboBoxParity")->setCurrentIndex(1);
        MarkingTranslator translator;
        QCoreApplication::installTranslator(&translator);
        QTRY_COMPARE(flow->currentText(), QStringLiteral("~Software"));
        QCoreApplication::removeTranslator(&translator);
        QTRY_COMPARE(flow->currentText(), QStringLiteral("Software"));
        r.click("btnOpen");
        QCOMPARE(r.sent.at(0).at(1).toByteArray(), hx("00 00 03 03 01 02 00"));
    }

    // What the console sends, what it keeps to itself ("clear"), which replies
    // are answers, and where entries go.
    void consoleSendAndAnswer()
    {
        Rig<PageRoot> r;
        auto* browser = r.child<QTextBrowser>("textBrowserCmd");
        auto* line = r.child<QLineEdit>("leCmd");
        line->setText(QStringLiteral("ver"));
        r.click("btnSendCmd");
        QTest::keyClick(line, Qt::Key_Return); // the line stays; Return sends it again
        // Only code 19 is an answer, and it ends at its zero byte.
        for (int cmd : { 18, 1, 20 })
            r.feed(cmd, "no");
        r.feed(19, QByteArray("v1.3\0more", 9));
        QCOMPARE(browser->toPlainText(), QStringLiteral("Send: ver\nSend: ver\nRecv: v1.3\n"));
        QCOMPARE(browser->textCursor().charFormat().foreground().color(), QColor(0, 128, 0));

        // "clear" empties the transcript and is not sent; "Clear" is.
        line->setText(QStringLiteral("clear"));
        r.click("btnSendCmd");
        QCOMPARE(browser->toPlainText(), QString());
        line->setText(QStringLiteral("Clear"));
        r.click("btnSendCmd");
        QCOMPARE(r.sent.count(), 3);
        QCOMPARE(r.sent.last(), (QVariantList { 18, QByteArray("Clear") }));

        // An entry goes to the end even while the technician selects the start.
        QTextCursor selection(browser->document());
        selection.movePosition(QTextCursor::Start);
        selection.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        browser->setTextCursor(selection);
        r.feed(19, "second");
        QCOMPARE(browser->toPlainText(), QStringLiteral("Send: Clear\nRecv: second\n"));
        QVERIFY(r.boxes.boxes.isEmpty());
    }

    void everyInputAndViewHasAName_data()
    {
        QTest::addColumn<Make>("make");
        // The window holds every page but those opened on demand.
        row("main window", Make([] { return new MainWindow; }));
        row("batch", Make([] { return new BatchProgrammingDialog(nullptr, 1); }));
        row("console", Make([] { return new PageRoot; }));
        row("set ip", Make([] { return new DialogSetIP; }));
    }
    void everyInputAndViewHasAName()
    {
        QFETCH(Make, make);
        std::unique_ptr<QWidget> window(make());
        QStringList unnamed;
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (isInputOrView(w) && QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty())
                unnamed.append(w->objectName() + QLatin1Char('/') + QLatin1String(w->metaObject()->className()));
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    }

    void portTableCellsFoundByRoleAndName()
    {
        SettingsPage page;
        QAccessibleInterface* top = QAccessible::queryAccessibleInterface(&page);
        QCOMPARE(
            find(top, QAccessible::CheckBox, "SSH Enable") + ' ' + find(top, QAccessible::EditableText, "HTTPS Port"),
            QStringLiteral("checkBoxSSH lePortHTTPS"));
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
