#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

class Card;
class CardSession;

// One part of a simulated card's behaviour: the commands of one page family
// with the state they keep for the card's life. Every card gets its own
// instance of every registered feature.
class CardFeature {
public:
    explicit CardFeature(Card& card)
        : m_card(card)
    {
    }
    virtual ~CardFeature() = default;

    // Takes one received command; true when this feature answered it (or
    // deliberately did not). Commands no feature takes are recorded and left
    // unanswered, as a card does with codes it does not know.
    virtual bool handle(CardSession& session, int cmd, const QByteArray& data) = 0;
    virtual void sessionOpened(CardSession&) { }
    virtual void sessionClosed(CardSession&) { }

protected:
    Card& card() const { return m_card; }

private:
    Card& m_card;
};

struct CardOption {
    QString name; // the long option, also the key of --card ADDR:key=value
    QString valueName; // empty: a flag
    QString description;
    QString defaultValue;
};

struct FeatureDescriptor {
    QString name;
    QList<CardOption> options;
    std::function<std::unique_ptr<CardFeature>(Card&)> create;
};

// Features register themselves from their own source file, so adding one
// never touches the simulator's core:
//   static FeatureRegistry::Registrar reg({ "console", { ...options... },
//       [](Card& c) { return std::make_unique<ConsoleFeature>(c); } });
class FeatureRegistry {
public:
    static QVector<FeatureDescriptor>& all();

    struct Registrar {
        explicit Registrar(FeatureDescriptor descriptor) { all().append(std::move(descriptor)); }
    };
};
