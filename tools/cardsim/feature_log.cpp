// Codes 8, 9 and 10, the card's log files. Code 8 lists them, code 9 opens a
// file for the connection that asks (or closes it again, when it names the
// file already open), and the card then streams the file's lines one by one
// as code 10, at the chosen rate, until it is closed or the file ends.
//
// The files are either names only, whose lines the card makes up as it runs
// (an endless live log by default), or the files of a folder on the PC,
// streamed line by line.

#include "card.h"
#include "cardfeature.h"
#include "cardsession.h"
#include "link/commandcodes.h"
#include "pages/loglist.h"
#include "recorder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <iterator>

namespace {
// What fits one reply frame of the tool's reassembly buffer.
constexpr int kMaxReplyData = 4090;
constexpr int kMaxFolderFiles = 255;
constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

const char* const kMessages[] = {
    "kernel: eth0: link up, 100 Mbps, full duplex",
    "netd: DHCP lease renewed for 3600 s",
    "sshd[412]: Accepted password for admin from 192.168.1.20 port 50122",
    "modbusd: poll cycle 12 ms, 0 errors",
    "httpd: GET /status.html 200",
    "rs485: frame timeout on address 7",
    "watchdog: fed",
    "ntpd: clock synchronised, offset 3 ms",
    "snmpd: trap sent: ups on battery",
    "upsmon: battery 98 %, load 31 %",
};

class LogFeature : public CardFeature {
public:
    using CardFeature::CardFeature;

    bool handle(CardSession& session, int cmd, const QByteArray& data) override
    {
        switch (cmd) {
        case CommandCode::ListLogs: session.reply(CommandCode::ListLogs, listData()); return true;
        case CommandCode::OpenLog: openOrClose(session, QString::fromLocal8Bit(data)); return true;
        default: return false;
        }
    }

    void sessionClosed(CardSession& session) override
    {
        // The timer goes with the session it belongs to.
        m_streams.remove(session.id());
    }

private:
    struct Stream {
        QString name;
        QStringList lines; // from a folder; empty for a made-up log
        bool fromFile = false;
        int next = 0;
        QPointer<QTimer> timer;
    };

    QString folder() const { return card().config().text(QStringLiteral("log-dir")); }

    QStringList names() const
    {
        if (!folder().isEmpty()) {
            QStringList files = QDir(folder()).entryList(QDir::Files | QDir::Readable, QDir::Name);
            return files.mid(0, kMaxFolderFiles);
        }
        // Repeats are kept, so a card that lists a file twice can be played.
        return card().config().text(QStringLiteral("log-files")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    }

    QByteArray listData() const
    {
        QByteArray data;
        for (const QString& name : names()) {
            const QByteArray entry = LogList::build({ name });
            if (data.size() + entry.size() > kMaxReplyData)
                break;
            data.append(entry);
        }
        return data;
    }

    void openOrClose(CardSession& session, const QString& name)
    {
        auto it = m_streams.find(session.id());
        if (it != m_streams.end() && it->name == name) {
            if (it->timer)
                it->timer->deleteLater();
            m_streams.erase(it);
            card().recorder().event(card().address(), session.id(), QStringLiteral("log-close"),
                QJsonObject { { QStringLiteral("name"), name } });
            session.reply(CommandCode::OpenLog, QByteArray(1, '\1'));
            return;
        }
        const bool ok = names().contains(name) && !card().config().flag(QStringLiteral("log-open-fail"));
        card().recorder().event(card().address(), session.id(), QStringLiteral("log-open"),
            QJsonObject { { QStringLiteral("name"), name }, { QStringLiteral("ok"), ok } });
        if (!ok) {
            session.reply(CommandCode::OpenLog, QByteArray(1, '\0'));
            return;
        }
        // One file per connection: opening another one replaces it.
        if (it != m_streams.end()) {
            if (it->timer)
                it->timer->deleteLater();
            m_streams.erase(it);
        }
        Stream stream;
        stream.name = name;
        if (!folder().isEmpty()) {
            stream.fromFile = true;
            stream.lines = readLines(QDir(folder()).filePath(name));
        }
        auto* timer = new QTimer(&session);
        stream.timer = timer;
        const int id = session.id();
        QPointer<CardSession> target(&session);
        QObject::connect(timer, &QTimer::timeout, timer, [this, id, target] {
            if (target)
                tick(*target, id);
        });
        m_streams.insert(id, stream);
        session.reply(CommandCode::OpenLog, QByteArray(1, '\1'));
        timer->start(int(qBound<qint64>(1, card().config().integer(QStringLiteral("log-rate-ms"), 500), 3600000)));
    }

    static QStringList readLines(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QString text = QString::fromUtf8(file.read(kMaxFileBytes));
        QStringList lines = text.split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        for (QString& line : lines) {
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
        }
        return lines;
    }

    void tick(CardSession& session, int id)
    {
        auto it = m_streams.find(id);
        if (it == m_streams.end())
            return;
        Stream& s = *it;
        const qint64 limit = card().config().integer(QStringLiteral("log-lines"), 0);
        const bool ended = s.fromFile ? s.next >= s.lines.size() : (limit > 0 && s.next >= limit);
        if (ended) {
            if (s.timer)
                s.timer->stop();
            return;
        }
        QString line;
        if (s.fromFile) {
            line = s.lines.at(s.next);
        } else {
            line = QStringLiteral("%1 %2 #%3 %4")
                       .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), s.name)
                       .arg(s.next + 1)
                       .arg(QString::fromLatin1(kMessages[s.next % int(std::size(kMessages))]));
        }
        ++s.next;
        session.reply(CommandCode::LogText, line.toUtf8().left(kMaxReplyData));
    }

    QHash<int, Stream> m_streams;
};

FeatureRegistry::Registrar reg({ QStringLiteral("log"),
    {
        { QStringLiteral("log-files"), QStringLiteral("names"),
            QStringLiteral("Log file names the card lists, separated by commas, repeats kept."),
            QStringLiteral("system.log,network.log,modbus.log") },
        { QStringLiteral("log-dir"), QStringLiteral("folder"),
            QStringLiteral("List the files of this folder instead, and stream their lines."), QString() },
        { QStringLiteral("log-rate-ms"), QStringLiteral("ms"),
            QStringLiteral("Time between two lines of an open log file."), QStringLiteral("500") },
        { QStringLiteral("log-lines"), QStringLiteral("n"),
            QStringLiteral("Lines of a made-up log file before it ends (0: it never ends)."), QStringLiteral("0") },
        { QStringLiteral("log-open-fail"), QString(), QStringLiteral("Refuse to open log files (code 9 answers 0)."),
            QString() },
    },
    [](Card& c) { return std::make_unique<LogFeature>(c); } });

} // namespace
