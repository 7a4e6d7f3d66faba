#include "link/commandcodes.h"
#include "mainwindow/journal.h"

#include <QtTest>

using Outcome = CommTcp::SendOutcome;

// Drives a Journal with a scripted session: 's' lines send a code, 'r' lines
// receive one with a result byte (or none).
class TestJournal : public QObject {
    Q_OBJECT

private:
    static void receive(Journal& journal, int cmd, QByteArray data)
    {
        journal.frameReceived(cmd, reinterpret_cast<const quint8*>(data.constData()), data.size());
    }

private slots:
    void boundKeepsTheNewest()
    {
        Journal journal(3);
        for (int i = 0; i < 5; ++i)
            journal.commandSent(CommandCode::ReadPorts + (i % 2), QByteArray(), Outcome::Sent);
        QCOMPARE(journal.size(), 3);
        QCOMPARE(journal.firstNumber(), qint64(2));
        QCOMPARE(journal.at(0).code, CommandCode::ReadPorts); // the third command
        QVERIFY(journal.text().contains(QStringLiteral("(2 earlier entries dropped)")));
        QCOMPARE(journal.text().count(QLatin1Char('\n')), 1 + 1 + 3);
    }

    void aFloodCostsOneLine()
    {
        // A card sending log text for ever, after one request, behind a
        // bound far smaller than the flood.
        Journal journal(10);
        journal.commandSent(CommandCode::OpenLog, QByteArray("a.log"), Outcome::Sent);
        for (int i = 0; i < 100000; ++i)
            receive(journal, CommandCode::LogText, QByteArray("line\n"));
        QVERIFY(journal.size() == 2 && journal.at(1).frames == 100000 && journal.at(1).bytes == 500000);
    }

    void decoding_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("lastMeaning");
        QTest::addColumn<QString>("lastResult");

        auto row = [](const char* tag, const char* script, int lines, const char* meaning, const char* result) {
            QTest::newRow(tag) << QString::fromLatin1(script).split(' ') << lines << meaning << result;
        };
        row("read ports", "s16 r16", 2, "ports", "received");
        row("written, refused", "s17 r17:0", 2, "ports written", "failure");
        row("not connected", "s16!", 1, "read ports", "not sent: not connected");
        row("unknown code", "r300", 1, "unknown code", "received");
        row("read twice, two lines", "s16 r16 s16 r16", 4, "ports", "received");
        row("run of chunks, one line", "s256 r256:1 s257 r257:1 s257 r257:1 s257 r257:1 r258", 4, "installing",
            "received");
        row("chunk refused", "s257 r257:1 s257 r257:0 s257", 2, "image chunks: 1 sent (2 bytes), 0 acknowledged",
            "in progress");
        row("run ends with the link", "s257 r257:1 close", 2, "connection closed", "closed");
        row("serial data repeated", "s11 r11:1 r13 r13 r13", 3, "serial data received (3 frames, 6 bytes)", "received");
    }

    void decoding()
    {
        QFETCH(QStringList, script);
        QFETCH(int, lines);
        QFETCH(QString, lastMeaning);
        QFETCH(QString, lastResult);

        Journal journal;
        for (const QString& step : qAsConst(script)) {
            if (step == QLatin1String("close")) {
                journal.closed();
                continue;
            }
            const QStringList parts = step.mid(1).split(QLatin1Char(':'));
            const bool unsent = parts.at(0).endsWith(QLatin1Char('!'));
            const int code = QString(parts.at(0)).remove(QLatin1Char('!')).toInt();
            QByteArray data = parts.size() > 1 ? QByteArray(1, char(parts.at(1).toInt())) : QByteArray("ab");
            if (step.startsWith(QLatin1Char('s')))
                journal.commandSent(code, data, unsent ? Outcome::NotConnected : Outcome::Sent);
            else
                receive(journal, code, data);
        }
        QCOMPARE(journal.size(), lines);
        const Journal::Entry& last = journal.at(journal.size() - 1);
        QCOMPARE(Journal::meaning(last) + " / " + Journal::result(last), lastMeaning + " / " + lastResult);
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
