#pragma once

#include "cardconfig.h"
#include "cardfeature.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <memory>
#include <vector>

class CardSession;
class Recorder;

// One simulated card: its command service on one address, its settings and
// the state of its features, which last for the card's life (across
// connections).
class Card : public QObject {
    Q_OBJECT

public:
    Card(const QHostAddress& address, quint16 port, CardConfig config, Recorder& recorder, QObject* parent = nullptr);
    ~Card() override;

    bool listen(QString* error);

    QString address() const { return m_address.toString(); }
    quint16 port() const { return m_port; }
    const CardConfig& config() const { return m_config; }
    CardConfig& config() { return m_config; }
    Recorder& recorder() const { return m_recorder; }
    QList<CardSession*> sessions() const { return m_sessions; }

    // The version text the card reports ("v%d.%d.%d ...").
    QString versionText() const;

    template <typename T> T* feature() const
    {
        for (const auto& f : m_features) {
            if (auto* typed = dynamic_cast<T*>(f.get()))
                return typed;
        }
        return nullptr;
    }

    void dispatch(CardSession& session, int cmd, const QByteArray& data);

signals:
    void sessionOpened(CardSession* session);

private:
    void onNewConnection();

    QHostAddress m_address;
    quint16 m_port;
    CardConfig m_config;
    Recorder& m_recorder;
    QTcpServer m_server;
    std::vector<std::unique_ptr<CardFeature>> m_features;
    QList<CardSession*> m_sessions;
    int m_nextSessionId = 1;
};
