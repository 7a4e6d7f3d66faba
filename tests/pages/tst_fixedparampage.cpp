// The fixed parameters page's own decisions: the table it fills from the
// card's reply, the JSON it writes or refuses to write, its question about
// empty items, and backing the table up to a file and loading it again.
// Replies are fed in; files are real, in a temporary folder.

#include "pages/fixedparampage.h"
#include "pagewire.h"

#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>

namespace {
QTableWidget* table(const FixedParamPage& page)
{
    return childOf<QTableWidget>(page, "tableWidgetParam");
}
// "k=v|k2=v2" as table rows, filled the way the technician's edits fill them.
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
} // namespace

class TestFixedParamPage : public QObject {
    Q_OBJECT

private slots:
    // A number shows as empty; a bare MAC gets its colons, under its exact key only.
    void readReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("box");
        const auto row = [](const char* name, auto... v) { (QTest::newRow(name) << ... << QString(v)); };
        row("ascending keys", R"({"name":"x","count":5,"ethaddr":"001A2B3C4D5E","Ethaddr":"001a"})",
            "Ethaddr=001a|count=|ethaddr=00:1A:2B:3C:4D:5E|name=x",
            "Information: Read data finished! [information, page]");
        row("an array", "[1]", "old=1", "Warning: Read data failed! [warning, page]");
        row("no data", "", "old=1", "Warning: Read data failed! [warning, page]");
    }
    void readReply()
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

    void write_data()
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
    void write()
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
        QCOMPARE(sent.count(), json.isEmpty() ? 0 : 1);
        if (json.isEmpty())
            return;
        QCOMPARE(sent.first().at(0).toInt(), 15);
        QCOMPARE(sent.first().at(1).toByteArray(), json);
        feed(page, 15, QByteArray());
        QCOMPARE(describe(boxes.last(), &page), "Warning: Operation failed! [warning, no parent]");
        feed(page, 15, hexBytes("01"));
        QCOMPARE(describe(boxes.last(), &page), "Information: Operation success! [warning, no parent]");
    }

    void backupAndLoad()
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
};

QTEST_MAIN(TestFixedParamPage)
#include "tst_fixedparampage.moc"
