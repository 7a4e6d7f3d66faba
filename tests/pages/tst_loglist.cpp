// The card's log list and the rules the log page applies to it, and the
// console's answer decoding, without widgets.

#include "pages/consoletext.h"
#include "pages/loglist.h"

#include <QtTest>

namespace {
const auto entry = [](const QByteArray& name) { return char(name.size()) + name; };
const auto bytes = [](const QByteArray& data) { return reinterpret_cast<const quint8*>(data.constData()); };
}

class TestLogList : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("longest");
        QTest::addColumn<bool>("truncated");
        QTest::newRow("empty") << QByteArray() << QStringList() << 0 << false;
        QTest::newRow("five then three letters")
            << (entry("alpha") + entry("sys")) << QStringList { "alpha", "sys" } << 5 << false;
        QTest::newRow("repeats are kept in order") << (entry("a.log") + entry("b.log") + entry("a.log"))
                                                   << QStringList { "a.log", "b.log", "a.log" } << 5 << false;
        QTest::newRow("zero-length name")
            << QByteArray(1, '\0') + entry("abc") << QStringList { "", "abc" } << 3 << false;
        QTest::newRow("UTF-8 name, length in bytes")
            << entry("\xe6\x97\xa5\xe5\xbf\x97.log") << QStringList { QStringLiteral("\u65e5\u5fd7.log") } << 10
            << false;
        QTest::newRow("255-byte name") << entry(QByteArray(255, 'n')) << QStringList { QString(255, QLatin1Char('n')) }
                                       << 255 << false;
        QTest::newRow("only entry runs past the end") << QByteArray("\5ab") << QStringList() << 0 << true;
        QTest::newRow("length byte alone at the end") << (entry("abc") + '\1') << QStringList { "abc" } << 3 << true;
    }
    void parse()
    {
        QFETCH(QByteArray, data);
        QFETCH(QStringList, names);
        QFETCH(int, longest);
        QFETCH(bool, truncated);
        const LogList::Entries e = LogList::parse(data);
        QCOMPARE(e.names, names);
        QCOMPARE(e.longest, longest);
        QCOMPARE(e.truncated, truncated);
    }

    void parseNeverReadsPastTheData()
    {
        // A buffer whose tail would complete the entry is handed over without it.
        const QByteArray buffer = entry("abc") + entry("defgh");
        const LogList::Entries e = LogList::parse(bytes(buffer), buffer.size() - 1);
        QCOMPARE(e.names, QStringList { "abc" });
        QVERIFY(e.truncated);
        QCOMPARE(LogList::parse(nullptr, 10).names, QStringList());
        QCOMPARE(LogList::parse(bytes(buffer), -1).names, QStringList());
        // What is built is read back; a name beyond 255 bytes is cut.
        const QStringList names { "system.log", QStringLiteral("\u65e5\u5fd7"), QString(300, QLatin1Char('x')) };
        const LogList::Entries back = LogList::parse(LogList::build(names));
        QCOMPARE(back.names, (QStringList { names.at(0), names.at(1), QString(255, QLatin1Char('x')) }));
        QCOMPARE(back.longest, 255);
    }

    void choiceWidth_data()
    {
        QTest::addColumn<qreal>("points");
        QTest::addColumn<int>("longest");
        QTest::addColumn<int>("width");
        QTest::newRow("20 bytes at 9 pt") << qreal(9) << 20 << 144;
        QTest::newRow("1 byte at 9 pt rounds down") << qreal(9) << 1 << 7; // 7.2
        QTest::newRow("3 bytes at 9 pt rounds up") << qreal(9) << 3 << 22; // 21.6
        QTest::newRow("half rounds up") << qreal(0.625) << 1 << 1; // 0.5
        QTest::newRow("no name length") << qreal(9) << 0 << 0;
        QTest::newRow("no point size") << qreal(-1) << 20 << 0;
    }
    void choiceWidth()
    {
        QFETCH(qreal, points);
        QFETCH(int, longest);
        QFETCH(int, width);
        QCOMPARE(LogList::choiceWidth(points, longest), width);
    }

    // The console's answer ends at its zero byte; only "clear" itself clears.
    void console_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("clears");
        QTest::newRow("OK, zero, more bytes") << QByteArray("OK\0garbage", 10) << "OK" << false;
        QTest::newRow("no zero byte") << QByteArray("v1.3.0") << "v1.3.0" << false;
        QTest::newRow("zero first") << QByteArray("\0OK", 3) << "" << false;
        QTest::newRow("nothing") << QByteArray() << "" << false;
        QTest::newRow("UTF-8") << QByteArray("\xe6\xb8\xa9\xe5\xba\xa6 25\0", 10) << QStringLiteral("\u6e29\u5ea6 25")
                               << false;
        QTest::newRow("clear") << QByteArray("clear") << "clear" << true;
        QTest::newRow("Clear") << QByteArray("Clear") << "Clear" << false;
        QTest::newRow("leading space") << QByteArray(" clear") << " clear" << false;
        QTest::newRow("trailing space") << QByteArray("clear ") << "clear " << false;
    }
    void console()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, text);
        QFETCH(bool, clears);
        QCOMPARE(ConsoleText::decodeAnswer(bytes(data), data.size()), text);
        QCOMPARE(ConsoleText::isClearCommand(text), clears);
    }
};

QTEST_APPLESS_MAIN(TestLogList)
#include "tst_loglist.moc"
