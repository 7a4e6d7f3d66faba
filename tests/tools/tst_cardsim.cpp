// The card simulator's command line and its record, read while the card
// writes it. Its wire faults are exercised by the tests that use them.

#include "cardsimulator.h"
#include "recorder.h"

#include <QDeadlineTimer>
#include <QtTest>

#include <thread>

class TestCardSim : public QObject {
    Q_OBJECT

private slots:
    void addressLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("list") << "127.0.0.1,127.0.0.3" << QStringList { "127.0.0.1", "127.0.0.3" };
        QTest::newRow("range") << "127.0.0.2-127.0.0.4" << QStringList { "127.0.0.2", "127.0.0.3", "127.0.0.4" };
        QTest::newRow("short range") << "127.0.0.254-255" << QStringList { "127.0.0.254", "127.0.0.255" };
        QTest::newRow("range over an octet") << "127.0.0.255-127.0.1.0" << QStringList { "127.0.0.255", "127.0.1.0" };
        QTest::newRow("backwards") << "127.0.0.4-127.0.0.2" << QStringList();
        QTest::newRow("not an address") << "card-1" << QStringList();
        QTest::newRow("IPv6") << "::1" << QStringList();
    }
    void addressLists()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QCOMPARE(CardSimulator::expandAddresses(text), expected);
    }

    void badCommandLinesAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList { "--no-such-thing" };
        QTest::newRow("bad address") << QStringList { "--listen", "300.1.1.1" };
        QTest::newRow("card without option") << QStringList { "--card", "127.0.0.1" };
        QTest::newRow("card with unknown option") << QStringList { "--card", "127.0.0.1:colour=red" };
        QTest::newRow("bad port") << QStringList { "--port", "70000" };
    }
    void badCommandLinesAreRefused()
    {
        QFETCH(QStringList, arguments);
        CardSimulator sim;
        QString error;
        QVERIFY(!sim.configure(QStringList { "netquill-cardsim" } + arguments, &error));
        QVERIFY(!error.isEmpty());
    }

    void recordsAreReadWhileTheCardWrites()
    {
        // Tests read the record in their own thread while the simulator's thread
        // appends to it; each copy read must be a snapshot of its own.
        constexpr int kFrames = 2000;
        Recorder recorder;
        recorder.setKeepInMemory(true);
        std::thread card([&recorder] {
            for (int i = 0; i < kFrames; ++i)
                recorder.frame(QStringLiteral("127.0.0.1"), 1, true, i, QByteArray(1, char(i)), QByteArray());
        });
        int seen = 0;
        QVector<QJsonObject> first;
        // Bounded in time, not in rounds alone: on a loaded machine the reader
        // can spin through any fixed number of rounds before the writer's thread
        // has run at all.
        const QDeadlineTimer deadline(20000);
        for (int round = 0; round < 100000000 && seen < kFrames && !deadline.hasExpired(); ++round) {
            QVector<QJsonObject> now = recorder.records();
            QVERIFY(now.size() >= seen);
            for (QJsonObject& r : now) // writable: a shared copy would detach here
                r.insert(QStringLiteral("seen"), true);
            if (first.isEmpty() && !now.isEmpty())
                first = now;
            seen = now.size();
        }
        card.join();
        const QVector<QJsonObject> all = recorder.records();
        QCOMPARE(all.size(), kFrames);
        for (int i = 0; i < kFrames; ++i) {
            QCOMPARE(all[i].value(QStringLiteral("cmd")).toInt(), i);
            QVERIFY(!all[i].contains(QStringLiteral("seen")));
        }
        QVERIFY(!first.isEmpty());
        QVERIFY(first.size() <= kFrames);
    }
};

QTEST_GUILESS_MAIN(TestCardSim)
#include "tst_cardsim.moc"
