// The device log page's own decisions: the names it offers, opening and
// closing the chosen file, what counts as the card's answer, and the text it
// keeps. Replies are fed in.

#include "pages/displaylogpage.h"
#include "pagewire.h"

#include <QComboBox>
#include <QTextEdit>

namespace {
QByteArray listOf(std::initializer_list<const char*> names)
{
    QByteArray data;
    for (const char* n : names)
        data.append(char(qstrlen(n))).append(n);
    return data;
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
} // namespace

class TestDisplayLogPage : public QObject {
    Q_OBJECT

private slots:
    void list_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("repeated once, case counts")
            << listOf({ "a.log", "b.log", "a.log", "A.log" }) << QStringList { "a.log", "b.log", "A.log" };
        QTest::newRow("no data") << QByteArray() << QStringList();
        QTest::newRow("only an entry running past the end") << hexBytes("05 61 62") << QStringList();
    }
    void list()
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
        QCOMPARE(sent.count(), 2);
        QCOMPARE(sent.first().at(0).toInt(), 8);
        QCOMPARE(offered(page), names);
        // Only the answer to a refresh tells of an empty list.
        feed(page, 8, reply);
        const QStringList none { QStringLiteral("No log file is accessible!") };
        QCOMPARE(boxes.texts(), names.isEmpty() ? none + none : QStringList());
    }

    void openFollowClose()
    {
        BoxRecorder boxes;
        DisplayLogPage page;
        QSignalSpy sent(&page, &DisplayLogPage::sendCmd);
        auto* open = childOf<QPushButton>(page, "btnOpen");
        feed(page, 8, listOf({ "system.log", "network.log" }));
        // Answers nobody asked for change nothing.
        feed(page, 9, hexBytes("01"));
        QVERIFY(!page.isLogOpen());
        childOf<QComboBox>(page, "comboBoxLogType")->setCurrentIndex(1);
        open->click();
        QCOMPARE(open->text(), QStringLiteral("Open")); // open only once the card says so
        feed(page, 9, hexBytes("00"));
        QCOMPARE(describe(boxes.last(), &page), "Information: Open log file failed! [information, no parent]");
        open->click();
        feed(page, 9, hexBytes("01"));
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
        childOf<QComboBox>(page, "comboBoxLogType")->setCurrentIndex(0);
        open->click();
        QVERIFY(!page.isLogOpen());
        feed(page, 9, hexBytes("01"));
        QVERIFY(!page.isLogOpen());
        QCOMPARE(open->text(), QStringLiteral("Open"));
        QCOMPARE(sent.count(), 3);
        for (const auto& s : sent) {
            QCOMPARE(s.at(0).toInt(), 9);
            QCOMPARE(s.at(1).toByteArray(), QByteArray("network.log"));
        }
        QCOMPARE(boxes.boxes.size(), 1);
    }

    void paragraphCap()
    {
        DisplayLogPage page;
        const int total = DisplayLogPage::kMaxParagraphs + 1;
        for (int i = 1; i <= total; ++i)
            feed(page, 10, "line " + QByteArray::number(i));
        const QStringList p = text(page).split(QLatin1Char('\n'));
        QCOMPARE(p.size(), DisplayLogPage::kMaxParagraphs);
        QCOMPARE(p.first(), QStringLiteral("line 2"));
    }
};

QTEST_MAIN(TestDisplayLogPage)
#include "tst_displaylogpage.moc"
