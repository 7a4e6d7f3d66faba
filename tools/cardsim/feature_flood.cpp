// A card whose firmware has run away: from a moment on it floods the link
// with valid frames nobody asked for, of codes no page owns or of codes a
// page handles, fast, until a count or a time is reached (both bounded, so
// the simulator always calms down again by itself).

#include "card.h"
#include "cardfeature.h"
#include "cardsession.h"
#include "recorder.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QVector>

namespace {

constexpr qint64 kMaxFloodFrames = 100000;
constexpr qint64 kMaxFloodMs = 60000;

class FloodFeature : public CardFeature {
public:
    using CardFeature::CardFeature;

    bool handle(CardSession&, int, const QByteArray&) override { return false; }

    void sessionOpened(CardSession& session) override
    {
        if (codes().isEmpty())
            return;
        auto* flood = new Flood;
        m_floods.insert(session.id(), flood);
        QPointer<CardSession> guard(&session);
        const int delay = int(qBound<qint64>(0, integer("flood-delay-ms", 0), kMaxFloodMs));
        QTimer::singleShot(delay, &session, [this, guard, flood] {
            if (guard && guard->isOpen())
                start(*guard, *flood);
        });
    }

    void sessionClosed(CardSession& session) override { delete m_floods.take(session.id()); }

    ~FloodFeature() override { qDeleteAll(m_floods); }

private:
    struct Flood {
        QPointer<QTimer> timer; // a child of the session: it goes with it
        QElapsedTimer running;
        qint64 sent = 0;
    };

    qint64 integer(const char* name, qint64 fallback) const
    {
        return card().config().integer(QString::fromLatin1(name), fallback);
    }

    QVector<int> codes() const
    {
        QVector<int> result;
        for (const QString& c :
            card().config().text(QStringLiteral("flood")).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool ok = false;
            const int code = c.trimmed().toInt(&ok, 0);
            if (ok && code >= 0 && code <= 0xFFFF)
                result.append(code);
        }
        return result;
    }

    void start(CardSession& session, Flood& flood)
    {
        const QVector<int> floodCodes = codes();
        const qint64 count = qBound<qint64>(1, integer("flood-count", 1000), kMaxFloodFrames);
        const qint64 forMs = qBound<qint64>(1, integer("flood-for-ms", 10000), kMaxFloodMs);
        const int burst = int(qBound<qint64>(1, integer("flood-burst", 10), 1000));
        const QByteArray data = QByteArray::fromHex(card().config().text(QStringLiteral("flood-data")).toLatin1());
        card().recorder().event(card().address(), session.id(), QStringLiteral("flood-start"),
            QJsonObject { { QStringLiteral("count"), double(count) } });

        flood.timer = new QTimer(&session);
        flood.timer->setInterval(int(qBound<qint64>(0, integer("flood-interval-ms", 1), 1000)));
        flood.running.start();
        QPointer<CardSession> guard(&session);
        Flood* f = &flood;
        QObject::connect(
            flood.timer, &QTimer::timeout, &session, [this, guard, f, floodCodes, count, forMs, burst, data] {
                if (!guard || !guard->isOpen())
                    return;
                for (int i = 0; i < burst && f->sent < count; ++i, ++f->sent)
                    guard->reply(floodCodes.at(int(f->sent % floodCodes.size())), data);
                if (f->sent >= count || f->running.elapsed() >= forMs) {
                    f->timer->stop();
                    card().recorder().event(card().address(), guard->id(), QStringLiteral("flood-end"),
                        QJsonObject { { QStringLiteral("sent"), double(f->sent) } });
                }
            });
        flood.timer->start();
    }

    QHash<int, Flood*> m_floods;
};

CardOption option(const char* name, const char* valueName, const char* description, const char* fallback = "")
{
    return CardOption { QString::fromLatin1(name), QString::fromLatin1(valueName), QString::fromLatin1(description),
        QString::fromLatin1(fallback) };
}

FeatureRegistry::Registrar reg({ QStringLiteral("flood"),
    {
        option("flood", "code,...",
            "Flood every connection with unasked frames of these codes, in turn (e.g. 4660 for a code no "
            "page owns, 10 or 13 for a page's own)."),
        option("flood-data", "hex", "The data of every flood frame (default: none)."),
        option("flood-delay-ms", "ms", "Start the flood this long after the connection opens (default 0)."),
        option("flood-count", "n", "Frames of one flood (default 1000, at most 100000)."),
        option("flood-burst", "n", "Frames written at each tick (default 10)."),
        option("flood-interval-ms", "ms", "Time between two ticks (default 1)."),
        option("flood-for-ms", "ms", "The flood stops after this long whatever it sent (default 10000)."),
    },
    [](Card& c) { return std::make_unique<FloodFeature>(c); } });

} // namespace
