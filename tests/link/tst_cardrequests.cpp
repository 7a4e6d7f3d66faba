// Requests awaiting their replies, without a link: the owner hands each reply
// in, as a page does. (Through a link, against a card, the command-line
// tool's tests run them.)

#include "link/cardrequests.h"

#include <QtTest>

namespace {

const char* const kOutcomes[] = { "waiting", "replied", "refused", "timed out", "connection lost" };

} // namespace

class TestCardRequests : public QObject {
    Q_OBJECT

private slots:
    void repliesFinishTheirRequests_data()
    {
        QTest::addColumn<QList<int>>("awaited"); // the reply codes awaited, in order
        QTest::addColumn<QStringList>("handed"); // replies handed in: "code:hex data"
        QTest::addColumn<QList<bool>>("taken"); // what take() said for each
        QTest::addColumn<QStringList>("finished"); // "request outcome data", in the order they finished
        QTest::newRow("result byte: done")
            << QList<int> { 17 } << QStringList { "17:01" } << QList<bool> { true } << QStringList { "0 replied 01" };
        QTest::newRow("result byte: refused")
            << QList<int> { 17 } << QStringList { "17:00" } << QList<bool> { true } << QStringList { "0 refused 00" };
        QTest::newRow("result reply without its byte is a refusal")
            << QList<int> { 9 } << QStringList { "9:" } << QList<bool> { true } << QStringList { "0 refused " };
        QTest::newRow("data reply beginning with 0 is no refusal")
            << QList<int> { 16 } << QStringList { "16:000016" } << QList<bool> { true }
            << QStringList { "0 replied 000016" };
        QTest::newRow("a reply nobody awaits")
            << QList<int>() << QStringList { "9:01" } << QList<bool> { false } << QStringList();
        QTest::newRow("another code's reply answers nothing")
            << QList<int> { 9 } << QStringList { "8:01" } << QList<bool> { false } << QStringList();
        QTest::newRow("the oldest request of a code first")
            << QList<int> { 9, 11, 9 } << QStringList { "9:01", "9:00", "11:01", "9:01" }
            << QList<bool> { true, true, true, false }
            << QStringList { "0 replied 01", "2 refused 00", "1 replied 01" };
    }
    void repliesFinishTheirRequests()
    {
        QFETCH(QList<int>, awaited);
        QFETCH(QStringList, handed);
        QFETCH(QList<bool>, taken);
        QFETCH(QStringList, finished);
        CardRequests requests;
        QStringList seen;
        for (int i = 0; i < awaited.size(); ++i) {
            CardReply* reply = requests.expect(awaited[i]);
            connect(reply, &CardReply::finished, this, [&seen, reply, i] {
                seen.append(QStringLiteral("%1 %2 %3")
                                .arg(i)
                                .arg(QLatin1String(kOutcomes[reply->outcome()]))
                                .arg(QString::fromLatin1(reply->frames().value(0).toHex())));
            });
        }
        QList<bool> said;
        for (const QString& reply : handed) {
            const QByteArray data = QByteArray::fromHex(reply.section(QLatin1Char(':'), 1).toLatin1());
            said.append(requests.take(reply.section(QLatin1Char(':'), 0, 0).toInt(),
                reinterpret_cast<const quint8*>(data.constData()), data.size()));
        }
        QCOMPARE(said, taken);
        QCOMPARE(seen, finished);
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
