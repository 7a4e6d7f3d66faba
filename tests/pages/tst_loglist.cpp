// The card's log list and the rules the log page applies to it, and the
// console's answer decoding, without widgets.

#include "pages/consoletext.h"
#include "pages/loglist.h"

#include <QtTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray entry(const QByteArray& name)
{
    return char(name.size()) + name;
}

} // namespace

class TestLogList : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void parseNeverReadsPastTheData();
    void buildIsReadBack();
    void choiceWidth_data();
    void choiceWidth();
    void consoleAnswer_data();
    void consoleAnswer();
    void consoleClearCommand_data();
    void consoleClearCommand();
};

void TestLogList::parse_data()
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
    QTest::newRow("zero-length name") << (hex("00") + entry("abc")) << QStringList { "", "abc" } << 3 << false;
    QTest::newRow("UTF-8 name, length in bytes")
        << entry("\xe6\x97\xa5\xe5\xbf\x97.log") << QStringList { QStringLiteral("\u65e5\u5fd7.log") } << 10 << false;
    QTest::newRow("255-byte name") << entry(QByteArray(255, 'n')) << QStringList { QString(255, QLatin1Char('n')) }
                                   << 255 << false;
    QTest::newRow("only entry runs past the end") << hex("05 61 62") << QStringList() << 0 << true;
    QTest::newRow("length byte alone at the end") << (entry("abc") + hex("01")) << QStringList { "abc" } << 3 << true;
}

void TestLogList::parse()
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

void TestLogList::parseNeverReadsPastTheData()
{
    // The bytes after the data must not be read: a buffer whose tail would
    // complete the entry is handed over without it.
    const QByteArray buffer = entry("abc") + entry("defgh");
    const LogList::Entries e = LogList::parse(reinterpret_cast<const quint8*>(buffer.constData()), buffer.size() - 1);
    QCOMPARE(e.names, QStringList { "abc" });
    QVERIFY(e.truncated);
    QCOMPARE(LogList::parse(nullptr, 10).names, QStringList());
    QCOMPARE(LogList::parse(reinterpret_cast<const quint8*>(buffer.constData()), -1).names, QStringList());
}

void TestLogList::buildIsReadBack()
{
    const QStringList names { "system.log", QStringLiteral("\u65e5\u5fd7"), QString(300, QLatin1Char('x')) };
    const QByteArray data = LogList::build(names);
    const LogList::Entries e = LogList::parse(data);
    QCOMPARE(e.names.size(), 3);
    QCOMPARE(e.names.at(0), names.at(0));
    QCOMPARE(e.names.at(1), names.at(1));
    QCOMPARE(e.names.at(2), QString(255, QLatin1Char('x')));
    QCOMPARE(e.longest, 255);
}

void TestLogList::choiceWidth_data()
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

void TestLogList::choiceWidth()
{
    QFETCH(qreal, points);
    QFETCH(int, longest);
    QFETCH(int, width);
    QCOMPARE(LogList::choiceWidth(points, longest), width);
}

void TestLogList::consoleAnswer_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("text");
    QTest::newRow("OK, zero, more bytes") << QByteArray("OK\0garbage", 10) << "OK";
    QTest::newRow("no zero byte") << QByteArray("v1.3.0") << "v1.3.0";
    QTest::newRow("zero first") << QByteArray("\0OK", 3) << "";
    QTest::newRow("nothing") << QByteArray() << "";
    QTest::newRow("UTF-8") << QByteArray("\xe6\xb8\xa9\xe5\xba\xa6 25\0", 10) << QStringLiteral("\u6e29\u5ea6 25");
}

void TestLogList::consoleAnswer()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, text);
    QCOMPARE(ConsoleText::decodeAnswer(reinterpret_cast<const quint8*>(data.constData()), data.size()), text);
}

void TestLogList::consoleClearCommand_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("clears");
    QTest::newRow("clear") << "clear" << true;
    QTest::newRow("Clear") << "Clear" << false;
    QTest::newRow("leading space") << " clear" << false;
    QTest::newRow("trailing space") << "clear " << false;
}

void TestLogList::consoleClearCommand()
{
    QFETCH(QString, line);
    QFETCH(bool, clears);
    QCOMPARE(ConsoleText::isClearCommand(line), clears);
}

QTEST_APPLESS_MAIN(TestLogList)
#include "tst_loglist.moc"
