#include "card.h"

#include "cardsession.h"
#include "recorder.h"

#include <QJsonObject>
#include <QTcpSocket>

Card::Card(const QHostAddress& address, quint16 port, CardConfig config, Recorder& recorder, QObject* parent)
    : QObject(parent)
    , m_address(address)
    , m_port(port)
    , m_config(std::move(config))
    , m_recorder(recorder)
{
    for (const FeatureDescriptor& descriptor : FeatureRegistry::all())
        m_features.push_back(descriptor.create(*this));
    connect(&m_server, &QTcpServer::newConnection, this, &Card::onNewConnection);
}

Card::~Card()
{
    m_server.close();
    // Sessions are children; they go before the features they call into.
    qDeleteAll(findChildren<CardSession*>(QString(), Qt::FindDirectChildrenOnly));
}

bool Card::listen(QString* error)
{
    if (m_server.listen(m_address, m_port))
        return true;
    if (error)
        *error = QStringLiteral("%1:%2: %3").arg(m_address.toString()).arg(m_port).arg(m_server.errorString());
    return false;
}

QString Card::versionText() const
{
    return m_config.text(QStringLiteral("version"), QStringLiteral("v1.3.0 20261201"));
}

void Card::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        auto* session = new CardSession(*this, socket, m_nextSessionId++);
        m_sessions.append(session);
        connect(session, &CardSession::closed, this, [this, session] {
            m_sessions.removeAll(session);
            for (const auto& f : m_features)
                f->sessionClosed(*session);
        });
        for (const auto& f : m_features)
            f->sessionOpened(*session);
        emit sessionOpened(session);
    }
}

void Card::dispatch(CardSession& session, int cmd, const QByteArray& data)
{
    for (const auto& f : m_features) {
        if (f->handle(session, cmd, data))
            return;
    }
    m_recorder.event(
        address(), session.id(), QStringLiteral("unhandled"), QJsonObject { { QStringLiteral("cmd"), cmd } });
}
