#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class CommTcp;

// Commands to one card over the tool's command link: connect, send, and wait
// for the replies, each wait bounded. Every reply the link routes, on any of
// its reply signals, and every notice the link gives for the replies it
// answers itself (the card's answer to a set date), reaches the handler in
// turn.
class CardExchange {
public:
    struct Reply {
        int cmd = 0; // 0 for a notice
        const quint8* data = nullptr; // valid during the call only
        int size = 0;
        QString notice;
        bool warning = false; // the notice is a warning (a refusal), not an acknowledgement
    };
    enum class Step {
        Wait, // not this exchange's reply, or more to come: keep waiting
        Done,
        Failed,
        // Done once no further reply comes within a short while (an answer
        // that may arrive in several frames).
        Settle,
    };
    enum class Outcome { Done, Failed, TimedOut, ConnectionLost };
    using Handler = std::function<Step(const Reply& reply)>;

    explicit CardExchange(const QString& ip);
    ~CardExchange();

    // False with the link's reason when the card cannot be reached.
    bool connectToCard(QString* error);
    // Sends one command (with no data `cmd` 0 sends nothing) and runs until
    // the handler says Done or Failed, the link goes, or `timeoutMs` passes
    // without a reply. The handler may send further commands.
    Outcome exchange(int cmd, const QByteArray& data, const Handler& handler, int timeoutMs);
    void send(int cmd, const QByteArray& data = QByteArray());
    void disconnect();

    QString ip() const { return m_ip; }
    // "connection lost" or "no reply within N s" for an outcome.
    static QString outcomeText(Outcome outcome, int timeoutMs);

private:
    QString m_ip;
    std::unique_ptr<CommTcp> m_link;
};
