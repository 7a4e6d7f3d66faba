// Each page's own decisions, with the card's replies fed in: what it shows,
// sends, refuses and enables, its boxes, and what it forgets when the link
// closes. The link and the wiring are tested in tests/link and
// tests/mainwindow; files are real, in temporary folders. Last, what a screen
// reader finds on every page and dialog.

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

const auto hx = [](const char* text) { return QByteArray::fromHex(text); };
const QByteArray kYes("\1");

template <typename W> W* childOf(const QWidget& page, const char* name)
{
    return page.findChild<W*>(QLatin1String(name));
}
void click(const QWidget& page, const char* button)
{
    QTest::mouseClick(childOf<QPushButton>(page, button), Qt::LeftButton);
}
// Hands a reply to the page as if the link had received it.
template <typename Page> void feed(Page& page, int cmd, const QByteArray& data)
{
    page.handleRespond(cmd, reinterpret_cast<const quint8*>(data.constData()), data.size());
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

QStringList offered(const DisplayLogPage& page)
{
    auto* combo = childOf<QComboBox>(page, "comboBoxLogType");
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names.append(combo->itemText(i));
    return names;
}
QString text(const DisplayLogPage& page)
{
    return childOf<QTextEdit>(page, "textLog")->toPlainText();
}

// "k=v|k2=v2" as the parameter table's rows, filled the way the technician's
// edits fill them, and back.
QTableWidget* table(const FixedParamPage& page)
{
    return childOf<QTableWidget>(page, "tableWidgetParam");
}
void setRows(FixedParamPage& page, const QString& text)
{
    table(page)->setRowCount(0);
    for (const QString& part : text.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        click(page, "btnAdd");
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
QCheckBox* check(const SettingsPage& page, int row)
{
    return childOf<QCheckBox>(page, QByteArray("checkBox").append(kServices[row]).constData());
}
QLineEdit* port(const SettingsPage& page, int row)
{
    return childOf<QLineEdit>(page, QByteArray("lePort").append(kServices[row]).constData());
}
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
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        alive += box && box->text() == QLatin1String("Writing data...");
    }
    return alive;
}

QStringList record(const SPTestPage& page)
{
    return childOf<QTextBrowser>(page, "textBrowserRecord")->toPlainText().split(QLatin1Char('\n'));
}
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

QAccessibleInterface* find(QAccessibleInterface* node, QAccessible::Role role, const QString& name, int depth = 0)
{
    if (!node || depth > 12 || (node->role() == role && node->text(QAccessible::Name) == name))
        return node;
    for (int i = 0; i < node->childCount(); ++i) {
        if (QAccessibleInterface* found = find(node->child(i), role, name, depth + 1))
            return found;
    }
    return nullptr;
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
        QTest::newRow("repeated once, case counts")
            << LogList::build({ "a.log", "b.log", "a.log", "A.log" }) << QStringList { "a.log", "b.log", "A.log" };
        QTest::newRow("no data") << QByteArray() << QStringList();
        QTest::newRow("only an entry running past the end") << hx("05 61 62") << QStringList();
    }
    void logList()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, names);
        BoxRecorder boxes;
        DisplayLogPage page;
        QSignalSpy sent(&page, &DisplayLogPage::sendCmd);
        // Open with no names only warns.
        click(page, "btnOpen");
        QCOMPARE(describe(boxes.last(), &page), "Warning: Log file error! [warning, no parent]");
        QCOMPARE(sent.count(), 0);
        boxes.clear();
        for (int i = 0; i < 2; ++i) {
            click(page, "Refresh");
            QCOMPARE(offered(page), QStringList()); // emptied at once
            feed(page, 8, reply);
        }
        QCOMPARE(sent, (QList<QVariantList> { { 8, QByteArray() }, { 8, QByteArray() } }));
        QCOMPARE(offered(page), names);
        // Only the answer to a refresh tells of an empty list.
        feed(page, 8, reply);
        const QStringList none { QStringLiteral("No log file is accessible!") };
        QCOMPARE(boxes.texts(), names.isEmpty() ? none + none : QStringList());
    }

    void logOpenFollowClose()
    {
        BoxRecorder boxes;
        DisplayLogPage page;
        QSignalSpy sent(&page, &DisplayLogPage::sendCmd);
        auto* open = childOf<QPushButton>(page, "btnOpen");
        auto* choice = childOf<QComboBox>(page, "comboBoxLogType");
        feed(page, 8, LogList::build({ "system.log", "network.log" }));
        // Answers nobody asked for change nothing.
        feed(page, 9, kYes);
        QVERIFY(!page.isLogOpen());
        choice->setCurrentIndex(1);
        open->click();
        QCOMPARE(open->text(), QStringLiteral("Open")); // open only once the card says so
        feed(page, 9, hx("00"));
        QCOMPARE(describe(boxes.last(), &page), "Information: Open log file failed! [information, no parent]");
        open->click();
        feed(page, 9, kYes);
        QVERIFY(page.isLogOpen());
        QCOMPARE(open->text(), QStringLiteral("Close"));
        feed(page, 10, "one");
        feed(page, 10, "\xe6\xb8\xa9\xe5\xba\xa6 25 \xc2\xb0");
        QCOMPARE(text(page), QStringLiteral("one\n\u6e29\u5ea6 25 \u00b0"));
        click(page, "btnClear");
        QCOMPARE(text(page), QString());
        QVERIFY(page.isLogOpen());

        // The close names the file that is open, whatever is chosen now, and
        // the card's answer to it opens nothing again.
        choice->setCurrentIndex(0);
        open->click();
        QVERIFY(!page.isLogOpen());
        feed(page, 9, kYes);
        QVERIFY(!page.isLogOpen());
        QCOMPARE(open->text(), QStringLiteral("Open"));
        const QVariantList openOrClose { 9, QByteArray("network.log") };
        QCOMPARE(sent, (QList<QVariantList> { openOrClose, openOrClose, openOrClose }));
        QCOMPARE(boxes.boxes.size(), 1);

        // An open log ends with the link, and its list goes with it.
        open->click();
        feed(page, 9, kYes);
        page.linkChanged();
        QVERIFY(!page.isLogOpen());
        QCOMPARE(open->text() + offered(page).join(QString()), QStringLiteral("Open"));
    }

    void logParagraphCap()
    {
        DisplayLogPage page;
        for (int i = 1; i <= DisplayLogPage::kMaxParagraphs + 1; ++i)
            feed(page, 10, "line " + QByteArray::number(i));
        const QStringList p = text(page).split(QLatin1Char('\n'));
        QCOMPARE(p.size(), DisplayLogPage::kMaxParagraphs);
        QCOMPARE(p.first(), QStringLiteral("line 2"));
    }

    // A number shows as empty; a bare MAC gets its colons, under its exact key only.
    void paramsReadReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("box");
        QTest::newRow("ascending keys") << R"({"name":"x","count":5,"ethaddr":"001A2B3C4D5E","Ethaddr":"001a"})"
                                        << "Ethaddr=001a|count=|ethaddr=00:1A:2B:3C:4D:5E|name=x"
                                        << "Information: Read data finished! [information, page]";
        QTest::newRow("an array") << "[1]"
                                  << "old=1"
                                  << "Warning: Read data failed! [warning, page]";
        QTest::newRow("no data") << ""
                                 << "old=1"
                                 << "Warning: Read data failed! [warning, page]";
    }
    void paramsReadReply()
    {
        QFETCH(QString, reply);
        QFETCH(QString, shown);
        QFETCH(QString, box);
        BoxRecorder boxes;
        FixedParamPage page;
        setRows(page, QStringLiteral("old=1"));
        feed(page, 14, reply.toUtf8());
        QCOMPARE(rows(page), shown);
        QCOMPARE(describe(boxes.last(), &page), box);
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
        QTest::newRow("complete") << "name=Rack 4|ethaddr=0a1b2c3d4e5f" << -1
                                  << QByteArray(R"({"ethaddr":"0a:1b:2c:3d:4e:5f","name":"Rack 4"})") << "no box";
        QTest::newRow("bad MAC") << "ethaddr=00:11:22:33:44" << -1 << QByteArray()
                                 << "Warning: Invaild settings! [warning, page]";
        QTest::newRow("empty items, Yes") << "name=A|devserial=|=orphan" << 0 << QByteArray(R"({"name":"A"})") << empty;
        QTest::newRow("empty items, No") << "name=A|devserial=" << 1 << QByteArray() << empty;
        QTest::newRow("empty table") << "" << -1 << QByteArray() << "no box";
    }
    void paramsWrite()
    {
        QFETCH(QString, rows);
        QFETCH(int, answer);
        QFETCH(QByteArray, json);
        QFETCH(QString, box);
        BoxRecorder boxes;
        FixedParamPage page;
        QSignalSpy sent(&page, &FixedParamPage::sendCmd);
        setRows(page, rows);
        if (answer >= 0)
            boxes.answerNext(answer);
        click(page, "btnWrite");
        QCOMPARE(describe(boxes.last(), &page), box);
        if (answer >= 0)
            QCOMPARE(boxes.last()->escapeIndex, 1);
        QCOMPARE(sent, (json.isEmpty() ? QList<QVariantList>() : QList<QVariantList> { { 15, json } }));
        if (json.isEmpty())
            return;
        feed(page, 15, QByteArray());
        QCOMPARE(describe(boxes.last(), &page), "Warning: Operation failed! [warning, no parent]");
        feed(page, 15, kYes);
        QCOMPARE(describe(boxes.last(), &page), "Information: Operation success! [warning, no parent]");
    }

    void paramsBackupAndLoad()
    {
        BoxRecorder boxes;
        FixedParamPage page;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("card.ini"));
        // Nothing to back up: no dialog.
        click(page, "btnReset");
        click(page, "btnBackup");
        QCOMPARE(boxes.texts(), QStringList { QStringLiteral("No content to backup!") });
        QVERIFY(boxes.dialogs.isEmpty());

        setRows(page, QStringLiteral("name=NMC 7, rack 2|devserial=|=orphan|a/b=slash|Zeta=last"));
        boxes.clear();
        boxes.answerDialog(dir.path()); // a folder: nothing can be written there
        click(page, "btnBackup");
        QCOMPARE(boxes.texts(), QStringList { QStringLiteral("Save fixed parameter failed!") });
        QVERIFY(QDir(dir.path()).isEmpty());
        boxes.clear();
        boxes.answerDialog(path);
        click(page, "btnBackup");
        QCOMPARE(boxes.dialogs.first().kind, DialogPrompt::Kind::SaveFile);
        QCOMPARE(boxes.dialogs.first().filter, QStringLiteral("(*.ini)"));
        QCOMPARE(boxes.texts(), QStringList { QStringLiteral("Save fixed parameter success!") });

        // Loading keeps the complete rows, in key order; a cancelled dialog or an
        // unreadable file changes nothing.
        click(page, "btnReset");
        boxes.clear();
        click(page, "btnLoad");
        boxes.answerDialog(dir.path());
        click(page, "btnLoad");
        QCOMPARE(rows(page), QStringLiteral("name=|devserial=|ethaddr="));
        boxes.answerDialog(path);
        click(page, "btnLoad");
        QCOMPARE(boxes.texts(), (QStringList { "Load fixed parameter failed!", "Load fixed parameter success!" }));
        QCOMPARE(rows(page), QStringLiteral("Zeta=last|a/b=slash|name=NMC 7, rack 2"));
    }

    // A port out of 1..65534, checked or not, stops the write with a box.
    void portsWrite_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("box");
        const QString ports = QStringLiteral("on:22 off:2323 on:8080 off:443");
        QTest::newRow("done") << ports << kYes << "Information: Operation success! [warning, no parent]";
        QTest::newRow("refused") << ports << hx("00") << "Warning: Operation failed! [warning, no parent]";
        QTest::newRow("no result byte") << ports << QByteArray() << "Warning: Operation failed! [warning, no parent]";
        const QString bad = QStringLiteral("Warning: Port settings error! [warning, no parent]");
        QTest::newRow("0 checked") << "on:0 on:23 on:80 on:443" << QByteArray() << bad;
        QTest::newRow("65535 unchecked") << "on:22 off:65535 on:80 on:443" << QByteArray() << bad;
        QTest::newRow("empty") << "on:22 on:23 off: on:443" << QByteArray() << bad;
    }
    void portsWrite()
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
        QCOMPARE(sent, (QList<QVariantList> { { 17, hx("01 00 16 00 09 13 01 1F 90 00 01 BB") } }));
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

    void portsAndDateShown_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown"); // the four rows, then the date field
        QTest::addColumn<QString>("box");
        const QString kept = QStringLiteral("on:1 off:2 on:3 off:4 typed");
        QTest::newRow("ports") << 16 << hx("02 00 16 00 00 17 FF FF FE 01 00 00") << "on:22 off:23 on:65534 on:0 typed"
                               << "Information: Read data finished! [information, page]";
        QTest::newRow("ports, 11 bytes") << 16 << hx("01 00 16 00 00 17 01 1F 90 00 01") << kept
                                         << "Tip: Read data failed! [information, no parent]";
        QTest::newRow("date") << 6 << QByteArray("2031-05-06 07:08:09") << "on:1 off:2 on:3 off:4 2031-05-06 07:08:09"
                              << "no box";
        QTest::newRow("date, 20 bytes") << 6 << QByteArray("2031-05-06 07:08:09x") << kept
                                        << "Tip: Read date failed! [information, no parent]";
    }
    void portsAndDateShown()
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

    void dateSyncSendsTheLocalTime()
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

    void serialOpenSendClose()
    {
        BoxRecorder boxes;
        SPTestPage page;
        QSignalSpy sent(&page, &SPTestPage::sendCmd);
        auto* open = childOf<QPushButton>(page, "btnOpen");
        // Closed: a send only warns, and answers nobody asked for change nothing.
        childOf<QLineEdit>(page, "leSendData")->setText(QStringLiteral("01"));
        click(page, "btnSend");
        QCOMPARE(describe(boxes.last(), &page), "Warning: Port not opened! [warning, no parent]");
        feed(page, 11, kYes);
        QVERIFY(!page.isPortOpen());
        QCOMPARE(sent.count(), 0);

        childOf<QLineEdit>(page, "lePortName")->setText(QStringLiteral("COM9"));
        open->click();
        QCOMPARE(sent.last().at(1).toByteArray().toHex(' '), hx("00 04 43 4F 4D 39 03 03 00 00 00").toHex(' '));
        feed(page, 11, hx("00")); // refused
        QCOMPARE(describe(boxes.last(), &page), "Warning: Open device's serial port failed! [warning, no parent]");
        QVERIFY(!page.isPortOpen());
        open->click();
        feed(page, 11, kYes);
        QVERIFY(page.isPortOpen());
        QCOMPARE(open->text(), QStringLiteral("Disconnect"));

        // Closing needs no answer, and the card's answer to it opens nothing.
        open->click();
        QCOMPARE(sent.last(), (QVariantList { 11, QByteArray() }));
        QVERIFY(!page.isPortOpen());
        feed(page, 11, kYes);
        QVERIFY(!page.isPortOpen());
        QCOMPARE(open->text(), QStringLiteral("Connect"));
        QCOMPARE(boxes.boxes.size(), 2);

        // An open port ends with the link.
        open->click();
        feed(page, 11, kYes);
        page.linkChanged();
        QVERIFY(!page.isPortOpen());
        QCOMPARE(open->text(), QStringLiteral("Connect"));
    }

    void serialSend_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("shown");
        QTest::newRow("modbus") << "rbModbus"
                                << "01 03 00 00 00 0A" << hx("01030000000AC5CD") << "01 03 00 00 00 0a c5 cd ";
        QTest::newRow("hex") << "rbHex"
                             << "01  1FF" << hx("0100FF") << "01 00 ff ";
        QTest::newRow("ascii") << "rbASCII"
                               << "a<b" << hx("613C62") << "a<b";
        QTest::newRow("empty sends nothing") << "rbHex"
                                             << "" << QByteArray() << "";
    }
    void serialSend()
    {
        QFETCH(QString, mode);
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        QFETCH(QString, shown);
        BoxRecorder boxes;
        SPTestPage page;
        click(page, "btnOpen");
        feed(page, 11, kYes);
        QSignalSpy sent(&page, &SPTestPage::sendCmd);
        childOf<QRadioButton>(page, qPrintable(mode))->click();
        auto* edit = childOf<QLineEdit>(page, "leSendData");
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return); // Return sends like the button
        QCOMPARE(sent, (text.isEmpty() ? QList<QVariantList>() : QList<QVariantList> { { 12, wire } }));
        QCOMPARE(record(page).join(QString()).isEmpty(), text.isEmpty());
        if (text.isEmpty())
            return;
        // "[yyyy-MM-dd hh:mm:ss.zzz] Send: " then the payload; what the card's
        // port received is recorded the same way, as UTF-8 in text mode.
        feed(page, 13, QByteArray("t=25\xc2\xb0"));
        const QStringList lines = record(page);
        QVERIFY2(lines.at(0).endsWith(QLatin1String("] Send: ")), qPrintable(lines.at(0)));
        QCOMPARE(lines.at(1), shown);
        QVERIFY(lines.at(3).endsWith(QLatin1String("] Receive: ")));
        QCOMPARE(lines.at(4), mode == "rbASCII" ? QStringLiteral("t=25\u00b0") : QStringLiteral("74 3d 32 35 c2 b0 "));
        QVERIFY(boxes.boxes.isEmpty());
    }

    void serialFailedSendClosesThePort_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("reply 0") << hx("00");
        QTest::newRow("reply without data byte") << QByteArray();
    }
    void serialFailedSendClosesThePort()
    {
        QFETCH(QByteArray, reply);
        BoxRecorder boxes;
        SPTestPage page;
        click(page, "btnOpen");
        feed(page, 11, kYes);
        childOf<QLineEdit>(page, "leSendData")->setText(QStringLiteral("01"));
        click(page, "btnSend");
        feed(page, 12, reply);
        feed(page, 12, reply); // a repeated answer opens no second box
        QCOMPARE(boxes.texts(), QStringList { QStringLiteral("Send data to device's serial port failed!") });
        QVERIFY(!page.isPortOpen());
        QCOMPARE(childOf<QPushButton>(page, "btnOpen")->text(), QStringLiteral("Connect"));
    }

    void serialRecordIsCapped()
    {
        SPTestPage page;
        for (int i = 0; i < SPTestPage::kMaxRecordEntries + 3; ++i)
            feed(page, 13, QByteArray(1, char(i)));
        const auto* doc = childOf<QTextBrowser>(page, "textBrowserRecord")->document();
        QCOMPARE(doc->blockCount(), SPTestPage::kMaxRecordEntries);
        QVERIFY2(
            doc->firstBlock().text().simplified().endsWith(QLatin1String(" 03")), qPrintable(doc->firstBlock().text()));
    }

    void serialRetranslationKeepsIndexes()
    {
        BoxRecorder boxes;
        SPTestPage page;
        auto* flow = childOf<QComboBox>(page, "comboBoxFlowControl");
        flow->setCurrentIndex(2);
        childOf<QComboBox>(page, "comboBoxParity")->setCurrentIndex(1);
        MarkingTranslator translator;
        QCoreApplication::installTranslator(&translator);
        QTRY_COMPARE(flow->currentText(), QStringLiteral("~Software"));
        QCoreApplication::removeTranslator(&translator);
        QTRY_COMPARE(flow->currentText(), QStringLiteral("Software"));
        QSignalSpy sent(&page, &SPTestPage::sendCmd);
        click(page, "btnOpen");
        QCOMPARE(sent.at(0).at(1).toByteArray(), hx("00 00 03 03 01 02 00"));
    }

    // What the console sends, what it keeps to itself ("clear"), which replies
    // are answers, and where entries go.
    void consoleSendAndAnswer()
    {
        BoxRecorder boxes;
        PageRoot page;
        QSignalSpy sent(&page, &PageRoot::sendCmd);
        auto* browser = childOf<QTextBrowser>(page, "textBrowserCmd");
        auto* line = childOf<QLineEdit>(page, "leCmd");
        line->setText(QStringLiteral("ver"));
        click(page, "btnSendCmd");
        QTest::keyClick(line, Qt::Key_Return); // the line stays; Return sends it again
        // Only code 19 is an answer, and it ends at its zero byte.
        for (int cmd : { 18, 1, 20 })
            feed(page, cmd, "no");
        feed(page, 19, QByteArray("v1.3\0more", 9));
        QCOMPARE(browser->toPlainText(), QStringLiteral("Send: ver\nSend: ver\nRecv: v1.3\n"));
        QCOMPARE(browser->textCursor().charFormat().foreground().color(), QColor(0, 128, 0));

        // "clear" empties the transcript and is not sent; "Clear" is.
        line->setText(QStringLiteral("clear"));
        click(page, "btnSendCmd");
        QCOMPARE(browser->toPlainText(), QString());
        line->setText(QStringLiteral("Clear"));
        click(page, "btnSendCmd");
        QCOMPARE(sent.count(), 3);
        QCOMPARE(sent.last(), (QVariantList { 18, QByteArray("Clear") }));

        // An entry goes to the end even while the technician selects the start.
        QTextCursor selection(browser->document());
        selection.movePosition(QTextCursor::Start);
        selection.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        browser->setTextCursor(selection);
        feed(page, 19, "second");
        QCOMPARE(browser->toPlainText(), QStringLiteral("Send: Clear\nRecv: second\n"));
        QVERIFY(boxes.boxes.isEmpty());
    }

    void everyInputAndViewHasAName_data()
    {
        QTest::addColumn<Make>("make");
        // The window holds every page but those opened on demand.
        QTest::newRow("main window") << Make([] { return new MainWindow; });
        QTest::newRow("batch") << Make([] { return new BatchProgrammingDialog(nullptr, 1); });
        QTest::newRow("console") << Make([] { return new PageRoot; });
        QTest::newRow("set ip") << Make([] { return new DialogSetIP; });
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
        QAccessibleInterface* check = find(top, QAccessible::CheckBox, QStringLiteral("SSH Enable"));
        QAccessibleInterface* port = find(top, QAccessible::EditableText, QStringLiteral("HTTPS Port"));
        QVERIFY(check && port);
        QCOMPARE(check->object()->objectName(), QStringLiteral("checkBoxSSH"));
        QCOMPARE(port->object()->objectName(), QStringLiteral("lePortHTTPS"));
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
