#include "link/commandcodes.h"
#include "mainwindow/journal.h"

#include <QtTest>

using Outcome = CommTcp::SendOutcome;

namespace {

void receive(Journal& journal, int cmd, const QByteArray& data)
{
    journal.frameReceived(cmd, reinterpret_cast<const quint8*>(data.constData()), data.size());
}

} // namespace

class TestJournal : public QObject {
    Q_OBJECT

private slots:
    void boundKeepsTheNewest()
    {
        Journal journal(3);
        for (int i = 0; i < 5; ++i)
            journal.commandSent(CommandCode::ReadPorts + (i % 2), QByteArray(), Outcome::Sent);
        QVERIFY(journal.size() == 3 && journal.firstNumber() == 2);
        QCOMPARE(journal.at(0).code, CommandCode::ReadPorts); // the third command
        QVERIFY(journal.text().contains(QStringLiteral("(2 earlier entries dropped)")));
        QCOMPARE(journal.text().count(QLatin1Char('\n')), 1 + 1 + 3);
        // A card sending log text for ever, after one request, costs one line.
        Journal flooded(10);
        flooded.commandSent(CommandCode::OpenLog, QByteArray("a.log"), Outcome::Sent);
        for (int i = 0; i < 100000; ++i)
            receive(flooded, CommandCode::LogText, QByteArray("line\n"));
        QVERIFY(flooded.size() == 2 && flooded.at(1).frames == 100000 && flooded.at(1).bytes == 500000);
    }

    // Scripts: "sN" sends code N ("sN!" unsent: not connected), "rN" receives
    // it (":B" with result byte B), "close" ends the link.
    void decoding_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("last"); // meaning / result
        QTest::newRow("read ports") << "s16 r16" << 2 << "ports / received";
        QTest::newRow("written, refused") << "s17 r17:0" << 2 << "ports written / failure";
        QTest::newRow("not connected") << "s16!" << 1 << "read ports / not sent: not connected";
        QTest::newRow("unknown code") << "r300" << 1 << "unknown code / received";
        QTest::newRow("read twice, two lines") << "s16 r16 s16 r16" << 4 << "ports / received";
        QTest::newRow("run of chunks, one line")
            << "s256 r256:1 s257 r257:1 s257 r257:1 s257 r257:1 r258" << 4 << "installing / received";
        QTest::newRow("chunk refused") << "s257 r257:1 s257 r257:0 s257" << 2
                                       << "image chunks: 1 sent (2 bytes), 0 acknowledged / in progress";
        QTest::newRow("run ends with the link") << "s257 r257:1 close" << 2 << "connection closed / closed";
        QTest::newRow("serial data repeated")
            << "s11 r11:1 r13 r13 r13" << 3 << "serial data received (3 frames, 6 bytes) / received";
    }

    void decoding()
    {
        QFETCH(QString, script);
        QFETCH(int, lines);
        QFETCH(QString, last);
        Journal journal;
        for (const QString& step : script.split(' ')) {
            const QStringList parts = step.mid(1).split(QLatin1Char(':'));
            const int code = QString(parts.at(0)).remove(QLatin1Char('!')).toInt();
            const QByteArray data = parts.size() > 1 ? QByteArray(1, char(parts.at(1).toInt())) : QByteArray("ab");
            if (step == QLatin1String("close"))
                journal.closed();
            else if (step.startsWith(QLatin1Char('s')))
                journal.commandSent(code, data, step.endsWith('!') ? Outcome::NotConnected : Outcome::Sent);
            else
                receive(journal, code, data);
        }
        QCOMPARE(journal.size(), lines);
        const Journal::Entry& entry = journal.at(journal.size() - 1);
        QCOMPARE(Journal::meaning(entry) + " / " + Journal::result(entry), last);
    }

    void chunkRunSummary()
    {
        Journal journal;
        journal.commandSent(CommandCode::StartProgramming, QByteArray("\x00\x00\x00\x08\x00", 5), Outcome::Sent);
        receive(journal, CommandCode::StartProgramming, QByteArray(1, 1));
        for (int i = 0; i < 37; ++i) {
            journal.commandSent(CommandCode::ImageChunk, QByteArray(64, 'x'), Outcome::Sent);
            receive(journal, CommandCode::ImageChunk, QByteArray(1, i == 36 ? 0 : 1));
        }
        QCOMPARE(journal.size(), 3);
        QCOMPARE((QStringList { Journal::meaning(journal.at(0)), Journal::meaning(journal.at(2)),
                     Journal::result(journal.at(2)) }),
            (QStringList { "start programming APP, 2048 bytes", "image chunks: 37 sent (2368 bytes), 37 acknowledged",
                "refused at chunk 37" }));
    }
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
