// Code 2, reboot: the card answers nothing and drops the connection, as a
// card does when it restarts.

#include "card.h"
#include "cardfeature.h"
#include "cardsession.h"
#include "link/commandcodes.h"
#include "recorder.h"

namespace {

class RebootFeature : public CardFeature {
public:
    using CardFeature::CardFeature;

    bool handle(CardSession& session, int cmd, const QByteArray&) override
    {
        if (cmd != CommandCode::Reboot)
            return false;
        ++m_reboots;
        card().recorder().event(card().address(), session.id(), QStringLiteral("reboot"));
        // Every connection goes down with the card, not only the one that asked.
        const auto sessions = card().sessions();
        for (CardSession* s : sessions)
            s->close();
        return true;
    }

private:
    int m_reboots = 0;
};

FeatureRegistry::Registrar reg(
    { QStringLiteral("reboot"), {}, [](Card& c) { return std::make_unique<RebootFeature>(c); } });

} // namespace
