// Codes 6, 7, 16 and 17: the card's clock and the ports of its SSH, Telnet,
// HTTP and HTTPS services. The clock runs on from whatever it was last set
// to; ports written are what later reads return, for the card's life.

#include "card.h"
#include "cardfeature.h"
#include "cardsession.h"
#include "link/commandcodes.h"

#include <QDateTime>
#include <QStringList>

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
constexpr int kPortsSize = 12;

class SettingsFeature : public CardFeature {
public:
    explicit SettingsFeature(Card& c)
        : CardFeature(c)
        , m_ports(parsePorts(c.config().text(QStringLiteral("ports"))))
    {
        const QString start = c.config().text(QStringLiteral("date"));
        if (!start.isEmpty()) {
            const QDateTime set = QDateTime::fromString(start, kDateFormat);
            if (set.isValid())
                m_clockOffsetMs = QDateTime::currentDateTime().msecsTo(set);
        }
    }

    bool handle(CardSession& session, int cmd, const QByteArray& data) override
    {
        switch (cmd) {
        case CommandCode::ReadDate:
            session.reply(CommandCode::ReadDate, clock().toString(kDateFormat).toLatin1());
            return true;
        case CommandCode::SetDate:
            session.reply(CommandCode::SetDate,
                QByteArray(
                    1, char(!card().config().flag(QStringLiteral("date-refuse-set")) && setClock(data) ? 1 : 0)));
            return true;
        case CommandCode::ReadPorts: session.reply(CommandCode::ReadPorts, m_ports); return true;
        case CommandCode::WritePorts: writePorts(session, data); return true;
        default: return false;
        }
    }

private:
    QDateTime clock() const { return QDateTime::currentDateTime().addMSecs(m_clockOffsetMs); }

    bool setClock(const QByteArray& data)
    {
        const QDateTime set = QDateTime::fromString(QString::fromLatin1(data), kDateFormat);
        if (data.size() != 19 || !set.isValid())
            return false;
        m_clockOffsetMs = QDateTime::currentDateTime().msecsTo(set);
        return true;
    }

    void writePorts(CardSession& session, const QByteArray& data)
    {
        if (card().config().flag(QStringLiteral("ports-silent-write")))
            return;
        bool accepted = data.size() == kPortsSize && !card().config().flag(QStringLiteral("ports-refuse-write"));
        for (int i = 0; accepted && i < kPortsSize; i += 3) {
            const int port = quint8(data.at(i + 1)) * 256 + quint8(data.at(i + 2));
            accepted = port >= 1 && port <= 65534;
        }
        if (accepted)
            m_ports = data;
        session.reply(CommandCode::WritePorts, QByteArray(1, char(accepted ? 1 : 0)));
    }

    // "1:22,1:23,1:80,0:443": enable byte and port of each service in turn.
    static QByteArray parsePorts(const QString& text)
    {
        QByteArray ports = QByteArray::fromHex("010016 010017 010050 0101BB");
        const QStringList records = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (int i = 0; i < records.size() && i < 4; ++i) {
            const QString enable = records.at(i).section(QLatin1Char(':'), 0, 0);
            const uint port = records.at(i).section(QLatin1Char(':'), 1, 1).toUInt();
            ports[i * 3] = char(enable.toUInt() & 0xFF);
            ports[i * 3 + 1] = char((port >> 8) & 0xFF);
            ports[i * 3 + 2] = char(port & 0xFF);
        }
        return ports;
    }

    QByteArray m_ports;
    qint64 m_clockOffsetMs = 0;
};

FeatureRegistry::Registrar reg({ QStringLiteral("settings"),
    {
        { QStringLiteral("date"), QStringLiteral("yyyy-MM-dd hh:mm:ss"),
            QStringLiteral("Start the card's clock at this time (default: the PC's clock)."), QString() },
        { QStringLiteral("date-refuse-set"), QString(),
            QStringLiteral("Refuse every set date (code 7): answer 0 and keep the clock."), QString() },
        { QStringLiteral("ports"), QStringLiteral("e:port,..."),
            QStringLiteral("The service ports the card starts with, SSH, Telnet, HTTP, HTTPS, each as "
                           "enable:port"),
            QStringLiteral("1:22,1:23,1:80,1:443") },
        { QStringLiteral("ports-refuse-write"), QString(),
            QStringLiteral("Refuse every port write (code 17): answer 0 and keep the ports."), QString() },
        { QStringLiteral("ports-silent-write"), QString(),
            QStringLiteral("Leave port writes (code 17) unanswered and the ports unchanged."), QString() },
    },
    [](Card& c) { return std::make_unique<SettingsFeature>(c); } });

} // namespace
