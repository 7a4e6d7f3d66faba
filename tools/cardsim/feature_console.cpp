// Codes 18 and 19, the card's console: a small command interpreter that
// answers each command line (code 18) with its output as code 19, text
// followed by a zero byte (and, if asked for, bytes after it that the tool
// must not show).

#include "card.h"
#include "cardfeature.h"
#include "cardsession.h"
#include "link/commandcodes.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QStringList>

namespace {

class ConsoleFeature : public CardFeature {
public:
    explicit ConsoleFeature(Card& c)
        : CardFeature(c)
    {
        m_uptime.start();
    }

    bool handle(CardSession& session, int cmd, const QByteArray& data) override
    {
        if (cmd != CommandCode::ConsoleCommand)
            return false;
        if (card().config().flag(QStringLiteral("console-silent")))
            return true;
        QByteArray answer = run(QString::fromLocal8Bit(data)).toUtf8();
        answer.append('\0');
        answer.append(card().config().text(QStringLiteral("console-trailer")).toUtf8());
        session.reply(CommandCode::ConsoleAnswer, answer);
        return true;
    }

private:
    QString run(const QString& line)
    {
        const QString trimmed = line.trimmed();
        const QString command = trimmed.section(QLatin1Char(' '), 0, 0);
        const QString rest = trimmed.section(QLatin1Char(' '), 1);
        if (command.isEmpty())
            return QString();
        if (command == QLatin1String("ver") || command == QLatin1String("version"))
            return card().versionText();
        if (command == QLatin1String("help"))
            return QStringLiteral("commands:\n  ver       print the firmware version\n  uptime    time since start\n"
                                  "  date      the card's clock\n  ifconfig  network interfaces\n"
                                  "  echo TEXT print TEXT\n  help      this list");
        if (command == QLatin1String("uptime"))
            return QStringLiteral("up %1 seconds").arg(m_uptime.elapsed() / 1000);
        if (command == QLatin1String("date"))
            return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        if (command == QLatin1String("echo"))
            return rest;
        if (command == QLatin1String("ifconfig"))
            return QStringLiteral("eth0      Link encap:Ethernet  HWaddr 02:00:00:00:00:01\n"
                                  "          inet addr:%1  Mask:255.0.0.0\n"
                                  "          UP BROADCAST RUNNING MULTICAST  MTU:1500\n"
                                  "lo        Link encap:Local Loopback\n"
                                  "          inet addr:127.0.0.1  Mask:255.0.0.0")
                .arg(card().address());
        return QStringLiteral("sh: %1: not found").arg(command);
    }

    QElapsedTimer m_uptime;
};

FeatureRegistry::Registrar reg({ QStringLiteral("console"),
    {
        { QStringLiteral("console-silent"), QString(), QStringLiteral("Leave console commands (code 18) unanswered."),
            QString() },
        { QStringLiteral("console-trailer"), QStringLiteral("text"),
            QStringLiteral("Bytes the card sends after the zero byte that ends each answer."), QString() },
    },
    [](Card& c) { return std::make_unique<ConsoleFeature>(c); } });

} // namespace
