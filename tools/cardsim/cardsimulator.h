#pragma once

#include "cardconfig.h"
#include "recorder.h"

#include <QCommandLineParser>
#include <QList>
#include <QObject>
#include <QStringList>

class Card;

// The whole simulator: one card per listening address, each with its own
// settings and state. Used by netquill-cardsim and, in-process, by the tests.
class CardSimulator : public QObject {
    Q_OBJECT

public:
    explicit CardSimulator(QObject* parent = nullptr);
    ~CardSimulator() override;

    // Reads the command line (arguments[0] is the program name). False with a
    // message for the user on a malformed line.
    bool configure(const QStringList& arguments, QString* error);
    // Starts every card listening. False when one cannot listen.
    bool start(QString* error);
    void stop();

    bool helpRequested() const { return m_helpRequested; }
    QString helpText() const;

    QList<Card*> cards() const { return m_cards; }
    Card* card(const QString& address) const;
    Recorder& recorder() { return m_recorder; }

    // "127.0.0.2-127.0.0.9", "127.0.0.2-9" or one address; empty on error.
    static QStringList expandAddresses(const QString& text);

private:
    QCommandLineParser m_parser;
    QStringList m_addresses;
    quint16 m_port = 8712;
    CardConfig m_common;
    QList<QPair<QString, QPair<QString, QString>>> m_perCard; // address, key, value
    QList<Card*> m_cards;
    Recorder m_recorder;
    bool m_helpRequested = false;
};
