// The card simulator's command line and its record, read while the card
// writes it: what no other test would notice broken (its wire faults, list
// and range forms are exercised by the tests that use them).

#include "cardsimulator.h"
#include "recorder.h"

#include <QDeadlineTimer>
#include <QtTest>

#include <thread>

class TestCardSim : public QObject {
    Q_OBJECT

private slots:
    void addressLists()
    {
        QCOMPARE(CardSimulator::expandAddresses("127.0.0.254-255"), (QStringList { "127.0.0.254", "127.0.0.255" }));
        QCOMPARE(CardSimulator::expandAddresses("127.0.0.255-127.0.1.0"), (QStringList { "127.0.0.255", "127.0.1.0" }));
        for (const char* refused : { "127.0.0.4-127.0.0.2", "card-1", "::1" })
            QVERIFY2(CardSimulator::expandAddresses(refused).isEmpty(), refused);
    }

    void badCommandLinesAreRefused()
    {
        // A test given an option the simulator does not know would test nothing.
        for (const QStringList& arguments : { QStringList { "--no-such-thing" }, { "--listen", "300.1.1.1" },
                 { "--card", "127.0.0.1" }, { "--card", "127.0.0.1:colour=red" }, { "--port", "70000" } }) {
            CardSimulator sim;
            QString error;
            QVERIFY2(!sim.configure(QStringList { "netquill-cardsim" } + arguments, &error) && !error.isEmpty(),
                qPrintable(arguments.join(' ')));
        }
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
        // Bounded in time, not in rounds alone: on a loaded machine the reader
        // can spin through any fixed number of rounds before the writer's thread
        // has run at all.
        const QDeadlineTimer deadline(20000);
        for (int seen = 0; seen < kFrames && !deadline.hasExpired();) {
            QVector<QJsonObject> now = recorder.records();
            QVERIFY(now.size() >= seen);
            for (QJsonObject& r : now) // writable: a shared copy would detach here
                r.insert(QStringLiteral("seen"), true);
            seen = now.size();
        }
        card.join();
        const QVector<QJsonObject> all = recorder.records();
        QCOMPARE(all.size(), kFrames);
        for (int i = 0; i < kFrames; ++i)
            QVERIFY(all[i].value(QStringLiteral("cmd")).toInt() == i && !all[i].contains(QStringLiteral("seen")));
    }
};

QTEST_GUILESS_MAIN(TestCardSim)
#include "tst_cardsim.moc"
