// Codes 14 and 15: the card's fixed parameters, string values under free
// keys, read and written as one JSON object. A write sets the keys it names
// and leaves the others; what was written is read back for the card's life.

#include "card.h"
#include "cardfeature.h"
#include "cardsession.h"
#include "link/commandcodes.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

class FixedParamsFeature : public CardFeature {
public:
    explicit FixedParamsFeature(Card& c)
        : CardFeature(c)
        , m_params(initialParams(c))
    {
    }

    bool handle(CardSession& session, int cmd, const QByteArray& data) override
    {
        switch (cmd) {
        case CommandCode::ReadFixedParams: session.reply(CommandCode::ReadFixedParams, readReply()); return true;
        case CommandCode::WriteFixedParams:
            session.reply(CommandCode::WriteFixedParams, QByteArray(1, char(write(data) ? 1 : 0)));
            return true;
        default: return false;
        }
    }

private:
    QByteArray readReply() const
    {
        const QString shape = card().config().text(QStringLiteral("fixed-read-reply"), QStringLiteral("object"));
        if (shape == QLatin1String("array"))
            return QByteArrayLiteral("[\"name\",\"devserial\",\"ethaddr\"]");
        if (shape == QLatin1String("scalar"))
            return QByteArrayLiteral("\"name\"");
        if (shape == QLatin1String("broken"))
            return QJsonDocument(m_params).toJson(QJsonDocument::Compact).chopped(1);
        if (shape == QLatin1String("empty"))
            return QByteArray();
        if (shape == QLatin1String("text")) // not JSON at all: what a card's shell might print
            return QByteArrayLiteral("name=NMC-1\r\ndevserial=\xff\xfe\x00NQ1\r\n");
        return QJsonDocument(m_params).toJson(QJsonDocument::Compact);
    }

    bool write(const QByteArray& data)
    {
        if (card().config().flag(QStringLiteral("fixed-refuse-write")))
            return false;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(data, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject() || document.object().isEmpty())
            return false;
        const QJsonObject written = document.object();
        for (auto it = written.constBegin(); it != written.constEnd(); ++it) {
            if (!it.value().isString() || it.key().isEmpty())
                return false;
        }
        for (auto it = written.constBegin(); it != written.constEnd(); ++it)
            m_params.insert(it.key(), it.value());
        return true;
    }

    static QJsonObject initialParams(const Card& c)
    {
        const QString given = c.config().text(QStringLiteral("fixed-params"));
        if (!given.isEmpty()) {
            const QJsonDocument document = QJsonDocument::fromJson(given.toUtf8());
            if (document.isObject())
                return document.object();
        }
        // Each card's MAC address and serial number follow from its address.
        const quint32 ip = QHostAddress(c.address()).toIPv4Address();
        const QString mac = QStringLiteral("02:00:%1:%2:%3:%4")
                                .arg((ip >> 24) & 0xFF, 2, 16, QLatin1Char('0'))
                                .arg((ip >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
                                .arg((ip >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                                .arg(ip & 0xFF, 2, 16, QLatin1Char('0'))
                                .toUpper();
        return QJsonObject {
            { QStringLiteral("name"), QStringLiteral("NMC-%1").arg(ip & 0xFF) },
            { QStringLiteral("devserial"), QStringLiteral("NQ%1").arg(ip & 0xFFFFFF, 8, 10, QLatin1Char('0')) },
            { QStringLiteral("ethaddr"), mac },
        };
    }

    QJsonObject m_params;
};

FeatureRegistry::Registrar reg({ QStringLiteral("fixedparams"),
    {
        { QStringLiteral("fixed-params"), QStringLiteral("json"),
            QStringLiteral("The fixed parameters the card starts with, as a JSON object (default: name, "
                           "devserial and ethaddr made from the card's address)."),
            QString() },
        { QStringLiteral("fixed-read-reply"), QStringLiteral("shape"),
            QStringLiteral("What a read (code 14) answers: object (the parameters), array, scalar, broken "
                           "(cut JSON), text (no JSON at all) or empty."),
            QString() },
        { QStringLiteral("fixed-refuse-write"), QString(),
            QStringLiteral("Refuse every parameter write (code 15): answer 0 and keep the parameters."), QString() },
    },
    [](Card& c) { return std::make_unique<FixedParamsFeature>(c); } });

} // namespace
