#include "cardsimulator.h"

#include "card.h"
#include "cardfeature.h"

#include <QHostAddress>
#include <QSet>

namespace {

struct WireOption {
    const char* name;
    const char* valueName;
    const char* description;
};

// Options every card understands, beside those of the features.
const WireOption kWireOptions[] = {
    { "version", "text", "Version text the card reports (default \"v1.3.0 20261201\"; read as v%d.%d.%d)." },
    { "split-gap-ms", "ms", "Write every frame the card sends in two pieces, this many ms apart." },
    { "split-at", "bytes", "Where --split-gap-ms splits a frame (default 3: after the length field)." },
    { "corrupt-every", "n", "Corrupt the checksum of every n-th frame the card sends." },
    { "close-after", "n", "Close the connection on receiving the n-th frame, leaving it unanswered." },
    { "reply-size", "code:bytes,...",
        "Cut or pad the data of every reply of a code to this many bytes (e.g. 257:0,337:2)." },
    { "garbage", "hex",
        "Write these bytes before the frames the card sends (e.g. 00ff13: no start byte; 68: a false "
        "start byte)." },
    { "garbage-every", "n", "Write --garbage before every n-th frame only (default 1: before every frame)." },
};

} // namespace

CardSimulator::CardSimulator(QObject* parent)
    : QObject(parent)
{
    m_parser.setApplicationDescription(
        QStringLiteral("netquill-cardsim plays network-management cards on the command service (TCP port 8712),\n"
                       "one independent card per listening address, so that Netquill can be tried and trained on\n"
                       "without hardware. Every address of 127.0.0.0/8 works on Linux without set-up.\n\n"
                       "Options of the form --name value apply to every card; --card ADDR:name=value (or\n"
                       "--card ADDR:name for a flag) overrides one option for one card and may be repeated.\n\n"
                       "Examples:\n"
                       "  netquill-cardsim                                 one card on 127.0.0.1\n"
                       "  netquill-cardsim --listen 127.0.0.2-127.0.0.21   twenty cards\n"
                       "  netquill-cardsim --record frames.jsonl --version \"v1.2.2 old\""));
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addHelpOption();
    m_parser.addOption({ QStringLiteral("listen"),
        QStringLiteral("Card addresses: a list, separated by commas, of addresses or ranges such as "
                       "127.0.0.2-127.0.0.9 (repeatable; default 127.0.0.1)."),
        QStringLiteral("addresses") });
    m_parser.addOption({ QStringLiteral("port"), QStringLiteral("TCP port of the command service (default 8712)."),
        QStringLiteral("port") });
    m_parser.addOption({ QStringLiteral("record"),
        QStringLiteral("Write every frame received and sent, and every connection, as JSON lines to file."),
        QStringLiteral("file") });
    m_parser.addOption({ QStringLiteral("record-data-max"),
        QStringLiteral("Record at most this many bytes of each frame (default 4096)."), QStringLiteral("bytes") });
    m_parser.addOption({ QStringLiteral("card"), QStringLiteral("Set an option for one card: ADDR:name[=value]."),
        QStringLiteral("ADDR:name=value") });
    for (const WireOption& o : kWireOptions)
        m_parser.addOption(
            { QString::fromLatin1(o.name), QString::fromLatin1(o.description), QString::fromLatin1(o.valueName) });
    QSet<QString> seen;
    for (const FeatureDescriptor& feature : FeatureRegistry::all()) {
        for (const CardOption& o : feature.options) {
            if (seen.contains(o.name))
                continue;
            seen.insert(o.name);
            QString description = o.description;
            if (!o.defaultValue.isEmpty())
                description += QStringLiteral(" (default %1)").arg(o.defaultValue);
            QCommandLineOption option(o.name, description);
            if (!o.valueName.isEmpty())
                option.setValueName(o.valueName);
            m_parser.addOption(option);
        }
    }
}

CardSimulator::~CardSimulator()
{
    stop();
}

QString CardSimulator::helpText() const
{
    return m_parser.helpText();
}

QStringList CardSimulator::expandAddresses(const QString& text)
{
    QStringList result;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString item = part.trimmed();
        const int dash = item.indexOf(QLatin1Char('-'));
        if (dash < 0) {
            QHostAddress a;
            if (!a.setAddress(item) || a.protocol() != QAbstractSocket::IPv4Protocol)
                return {};
            result.append(a.toString());
            continue;
        }
        QHostAddress first;
        if (!first.setAddress(item.left(dash)) || first.protocol() != QAbstractSocket::IPv4Protocol)
            return {};
        const QString tail = item.mid(dash + 1);
        quint32 last = 0;
        QHostAddress lastAddress;
        if (tail.contains(QLatin1Char('.')) && lastAddress.setAddress(tail)
            && lastAddress.protocol() == QAbstractSocket::IPv4Protocol) {
            last = lastAddress.toIPv4Address();
        } else {
            bool ok = false;
            const uint octet = tail.toUInt(&ok);
            if (!ok || octet > 255)
                return {};
            last = (first.toIPv4Address() & 0xFFFFFF00u) | octet;
        }
        if (last < first.toIPv4Address() || last - first.toIPv4Address() > 65535)
            return {};
        for (quint32 a = first.toIPv4Address(); a <= last; ++a)
            result.append(QHostAddress(a).toString());
    }
    return result;
}

bool CardSimulator::configure(const QStringList& arguments, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!m_parser.parse(arguments))
        return fail(m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("help"))) {
        m_helpRequested = true;
        return true;
    }

    m_addresses.clear();
    const QStringList listen = m_parser.values(QStringLiteral("listen"));
    for (const QString& value : listen.isEmpty() ? QStringList { QStringLiteral("127.0.0.1") } : listen) {
        const QStringList expanded = expandAddresses(value);
        if (expanded.isEmpty())
            return fail(QStringLiteral("bad address list: %1").arg(value));
        for (const QString& a : expanded) {
            if (!m_addresses.contains(a))
                m_addresses.append(a);
        }
    }
    if (m_parser.isSet(QStringLiteral("port"))) {
        bool ok = false;
        const uint port = m_parser.value(QStringLiteral("port")).toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return fail(QStringLiteral("bad port: %1").arg(m_parser.value(QStringLiteral("port"))));
        m_port = quint16(port);
    }
    if (m_parser.isSet(QStringLiteral("record"))) {
        QString why;
        if (!m_recorder.openFile(m_parser.value(QStringLiteral("record")), &why))
            return fail(QStringLiteral("cannot write %1: %2").arg(m_parser.value(QStringLiteral("record")), why));
    }
    if (m_parser.isSet(QStringLiteral("record-data-max")))
        m_recorder.setDataLimit(m_parser.value(QStringLiteral("record-data-max")).toInt());

    QSet<QString> known;
    for (const WireOption& o : kWireOptions)
        known.insert(QString::fromLatin1(o.name));
    for (const FeatureDescriptor& feature : FeatureRegistry::all()) {
        for (const CardOption& o : feature.options) {
            known.insert(o.name);
            if (!o.defaultValue.isEmpty())
                m_common.set(o.name, o.defaultValue);
        }
    }
    for (const QString& name : known) {
        if (!m_parser.isSet(name))
            continue;
        // A flag has no value list; an option keeps its last value.
        const QStringList values = m_parser.values(name);
        m_common.set(name, values.isEmpty() ? QStringLiteral("1") : values.last());
    }

    m_perCard.clear();
    for (const QString& cardOption : m_parser.values(QStringLiteral("card"))) {
        const int colon = cardOption.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            return fail(QStringLiteral("--card wants ADDR:name[=value], not %1").arg(cardOption));
        const QStringList addresses = expandAddresses(cardOption.left(colon));
        const QString setting = cardOption.mid(colon + 1);
        const int equals = setting.indexOf(QLatin1Char('='));
        const QString key = equals < 0 ? setting : setting.left(equals);
        const QString value = equals < 0 ? QStringLiteral("1") : setting.mid(equals + 1);
        if (addresses.isEmpty())
            return fail(QStringLiteral("bad address in --card %1").arg(cardOption));
        if (!known.contains(key))
            return fail(QStringLiteral("unknown card option in --card %1").arg(cardOption));
        for (const QString& a : addresses)
            m_perCard.append({ a, { key, value } });
    }
    return true;
}

bool CardSimulator::start(QString* error)
{
    stop();
    for (const QString& address : m_addresses) {
        CardConfig config = m_common;
        for (const auto& entry : m_perCard) {
            if (entry.first == address)
                config.set(entry.second.first, entry.second.second);
        }
        auto* card = new Card(QHostAddress(address), m_port, config, m_recorder, this);
        if (!card->listen(error)) {
            delete card;
            stop();
            return false;
        }
        m_cards.append(card);
    }
    return true;
}

void CardSimulator::stop()
{
    qDeleteAll(m_cards);
    m_cards.clear();
}

Card* CardSimulator::card(const QString& address) const
{
    for (Card* c : m_cards) {
        if (c->address() == address)
            return c;
    }
    return nullptr;
}
