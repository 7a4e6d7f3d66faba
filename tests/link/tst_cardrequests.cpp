// Requests awaiting their replies, without a link: the owner hands each reply
// in, as a page does. (Through a link, against a card, the command-line
// tool's tests run them.)

#include "link/cardrequests.h"

#include <QtTest>

namespace {
const char* const kOutcomes[] = { "waiting", "replied", "refused", "timed out", "connection lost" };
}

class TestCardRequests : public QObject {
    Q_OBJECT

private slots:
    void repliesFinishTheirRequests_data()
    {
        QTest::addColumn<QString>("awaited"); // the reply codes awaited, in order
        QTest::addColumn<QString>("handed"); // replies handed in: "code:hex data"
        QTest::addColumn<QString>("taken"); // what take() said for each
        QTest::addColumn<QString>("finished"); // "request outcome data", in the order they finished
        const auto row = [](const char* name, auto... v) { (QTest::newRow(name) << ... << QString(v)); };
        row("result byte: done", "17", "17:01", "1", "0 replied 01");
        row("result byte: refused", "17", "17:00", "1", "0 refused 00");
        row("result reply without its byte is a refusal", "9", "9:", "1", "0 refused ");
        row("data reply beginning with 0 is no refusal", "16", "16:000016", "1", "0 replied 000016");
        row("a reply nobody awaits", "", "9:01", "0", "");
        row("another code's reply answers nothing", "9", "8:01", "0", "");
        row("the oldest request of a code first", "9 11 9", "9:01 9:00 11:01 9:01", "1110",
            "0 replied 01|2 refused 00|1 replied 01");
    }
    void repliesFinishTheirRequests()
    {
        QFETCH(QString, awaited);
        QFETCH(QString, handed);
        QFETCH(QString, taken);
        QFETCH(QString, finished);
        CardRequests requests;
        QStringList seen;
        const QStringList codes = awaited.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (int i = 0; i < codes.size(); ++i) {
            CardReply* reply = requests.expect(codes[i].toInt());
            connect(reply, &CardReply::finished, this, [&seen, reply, i] {
                seen << QStringLiteral("%1 %2 %3")
                            .arg(i)
                            .arg(QLatin1String(kOutcomes[reply->outcome()]), reply->frames().value(0).toHex());
            });
        }
        QString said;
        for (const QString& reply : handed.split(QLatin1Char(' '))) {
            const QByteArray data = QByteArray::fromHex(reply.section(QLatin1Char(':'), 1).toLatin1());
            said += requests.take(reply.section(QLatin1Char(':'), 0, 0).toInt(),
                        reinterpret_cast<const quint8*>(data.constData()), data.size())
                ? '1'
                : '0';
        }
        QCOMPARE(said, taken);
        QCOMPARE(seen.join(QLatin1Char('|')), finished);
    }

    void timedOutOrForgotten()
    {
        CardRequests requests;
        requests.setTimeout(20);
        CardReply* late = requests.expect(9);
        auto outcome = CardReply::Waiting;
        connect(late, &CardReply::finished, this, [&outcome, late] { outcome = late->outcome(); });
        QTRY_COMPARE(outcome, CardReply::TimedOut);
        const quint8 yes = 1;
        QVERIFY(!requests.take(9, &yes, 1));

        // Forgotten requests finish never, and take no reply.
        requests.setTimeout(0);
        QSignalSpy log(requests.expect(9), &CardReply::finished);
        QSignalSpy serial(requests.expect(11), &CardReply::finished);
        requests.forget(11);
        QVERIFY(!requests.take(11, &yes, 1));
        requests.forget();
        QVERIFY(!requests.take(9, &yes, 1));
        QTest::qWait(40);
        QVERIFY(log.isEmpty() && serial.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCardRequests)
#include "tst_cardrequests.moc"
