#include "journal.h"

#include "link/commandcodes.h"

#include <QDateTime>
#include <QtEndian>

namespace {

constexpr int kDetailChars = 60;
const QString kTab = QStringLiteral("\t");

QString shortText(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes.left(kDetailChars * 4)).simplified();
    if (text.size() > kDetailChars)
        text = text.left(kDetailChars - 1) + QChar(0x2026);
    return text;
}

QString typeName(const QByteArray& data)
{
    return data.isEmpty() ? QString() : CommandCode::programmingTypeName(quint8(data.at(0)));
}

// The codes whose frames the card may send again and again after one
// request: a new request of the code in the key ends their summary line.
QVector<int> repliesAnsweredBy(int sentCode)
{
    using namespace CommandCode;
    switch (sentCode) {
    case OpenLog: return { OpenLog, LogText };
    case OpenSerialPort:
    case SerialSend: return { OpenSerialPort, SerialSend, SerialReceived };
    case ConsoleCommand: return { ConsoleAnswer };
    default: return { sentCode };
    }
}

} // namespace

Journal::Journal(int capacity, QObject* parent)
    : QObject(parent)
    , m_capacity(qMax(1, capacity))
    , m_clock([] { return QDateTime::currentMSecsSinceEpoch(); })
{
    m_changeTimer.setSingleShot(true);
    m_changeTimer.setInterval(kChangeIntervalMs);
    connect(&m_changeTimer, &QTimer::timeout, this, &Journal::changed);
}

void Journal::attach(CommTcp* link)
{
    connect(link, &CommTcp::commandSent, this, &Journal::commandSent);
    connect(link, &CommTcp::frameReceived, this, &Journal::frameReceived);
    connect(link, &CommTcp::connectedToDevice, this, [this, link] {
        m_card = link->address();
        connected();
    });
    connect(link, &CommTcp::connectionError, this, [this, link](const QString& error) {
        m_card = link->address();
        connectFailed(error);
    });
    connect(link, &CommTcp::disconnected, this, &Journal::closed);
}

Journal::Entry& Journal::add(Direction direction, int code)
{
    m_now = m_clock();
    if (size() >= m_capacity) {
        m_entries.pop_front();
        ++m_firstNumber;
    }
    m_entries.emplace_back();
    Entry& e = m_entries.back();
    e.firstMs = e.lastMs = m_now;
    e.card = m_card;
    e.direction = direction;
    e.code = code;
    noteChange();
    return e;
}

Journal::Entry* Journal::open(qint64 number)
{
    if (number < m_firstNumber || number >= m_firstNumber + size())
        return nullptr;
    Entry& e = m_entries[size_t(number - m_firstNumber)];
    return e.ending == Ending::Open ? &e : nullptr;
}

void Journal::touch(Entry& e)
{
    e.lastMs = m_clock();
    noteChange();
}

void Journal::endRun(qint64& number, Ending ending)
{
    if (Entry* e = open(number)) {
        e->ending = ending;
        touch(*e);
    }
    number = -1;
}

void Journal::closeRepliesAnsweredBy(int sentCode)
{
    for (int code : repliesAnsweredBy(sentCode))
        m_openReplies.remove(code);
}

void Journal::closeAll(Ending ending)
{
    endRun(m_chunks, ending);
    endRun(m_backup, ending);
    m_openReplies.clear();
}

void Journal::noteChange()
{
    if (!m_changeTimer.isActive())
        m_changeTimer.start();
}

void Journal::commandSent(int cmd, const QByteArray& data, CommTcp::SendOutcome outcome)
{
    using namespace CommandCode;
    const qint64 number = m_firstNumber + size();
    if (cmd == ImageChunk && outcome == CommTcp::SendOutcome::Sent) {
        if (Entry* run = open(m_chunks)) {
            ++run->frames;
            run->bytes += data.size();
            touch(*run);
            return;
        }
        Entry& e = add(Direction::Sent, cmd);
        e.summary = Summary::Chunks;
        e.bytes = data.size();
        m_chunks = number;
        return;
    }
    if (cmd == BackupData && outcome == CommTcp::SendOutcome::Sent) {
        if (Entry* run = open(m_backup)) {
            ++run->frames;
            touch(*run);
            return;
        }
        Entry& e = add(Direction::Sent, cmd);
        e.summary = Summary::BackupPieces;
        e.total = m_backupTotal;
        m_backup = number;
        return;
    }
    if (outcome == CommTcp::SendOutcome::WriteFailed) {
        if (cmd == ImageChunk)
            endRun(m_chunks, Ending::WriteFailed);
        if (cmd == BackupData)
            endRun(m_backup, Ending::WriteFailed);
    }
    if (cmd == StartProgramming)
        endRun(m_chunks, Ending::Stopped);
    if (cmd == StartBackup) {
        endRun(m_backup, Ending::Stopped);
        m_backupTotal = 0;
    }
    closeRepliesAnsweredBy(cmd);

    Entry& e = add(Direction::Sent, cmd);
    e.outcome = outcome;
    e.bytes = data.size();
    switch (cmd) {
    case ReadVersion:
    case StartBackup: e.detail = typeName(data); break;
    case StartProgramming:
        e.detail = typeName(data);
        if (data.size() >= 5)
            e.total = qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(data.constData()) + 1);
        break;
    case SetDate:
    case OpenLog:
    case ConsoleCommand: e.detail = shortText(data); break;
    default: break;
    }
}

void Journal::frameReceived(int cmd, const quint8* data, int size)
{
    using namespace CommandCode;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qMax(0, size));
    const qint8 result = repliesWithResult(cmd) ? (size > 0 && data[0] != 0 ? 1 : 0) : qint8(-1);

    if (cmd == ImageChunk) {
        if (Entry* run = open(m_chunks)) {
            ++run->replies;
            if (result == 0) {
                run->refusedAt = run->replies;
                endRun(m_chunks, Ending::Refused);
            } else {
                touch(*run);
            }
            return;
        }
    }
    if (cmd == BackupData) {
        if (Entry* run = open(m_backup)) {
            ++run->replies;
            run->bytes += size;
            if (run->total > 0 && run->bytes >= run->total)
                endRun(m_backup, Ending::Completed);
            else
                touch(*run);
            return;
        }
    }
    if (cmd == Installing || cmd == ProgrammingFinished)
        endRun(m_chunks, Ending::Completed);

    // A card repeating a code before anyone asked again: one line counts them.
    const bool repeatable = cmd != StartProgramming && cmd != ImageChunk && cmd != StartBackup && cmd != BackupData
        && cmd != Installing && cmd != ProgrammingFinished;
    if (repeatable) {
        const auto it = m_openReplies.constFind(cmd);
        if (it != m_openReplies.constEnd()) {
            if (Entry* line = open(it.value())) {
                ++line->frames;
                line->bytes += size;
                if (result >= 0)
                    line->resultByte = result;
                touch(*line);
                return;
            }
        }
    }

    const qint64 number = m_firstNumber + this->size();
    Entry& e = add(Direction::Received, cmd);
    e.bytes = size;
    e.resultByte = result;
    switch (cmd) {
    case ReadVersion:
    case ReadDate:
    case ConsoleAnswer:
    case LogText: e.detail = shortText(bytes); break;
    case StartBackup:
        if (size >= 4) {
            e.total = qFromBigEndian<quint32>(data);
            m_backupTotal = e.total;
        }
        break;
    default: break;
    }
    if (repeatable)
        m_openReplies.insert(cmd, number);
}

void Journal::connected()
{
    closeAll(Ending::Stopped);
    Entry& e = add(Direction::Link, -1);
    e.event = LinkEvent::Connected;
}

void Journal::connectFailed(const QString& error)
{
    Entry& e = add(Direction::Link, -1);
    e.event = LinkEvent::ConnectFailed;
    e.detail = error;
}

void Journal::closed()
{
    closeAll(Ending::LinkLost);
    Entry& e = add(Direction::Link, -1);
    e.event = LinkEvent::Closed;
}

void Journal::cardCommandSent(
    const QString& address, const QString& hardwareAddress, int command, const QString& what, bool sent)
{
    const QString card = m_card;
    m_card = address.isEmpty() ? hardwareAddress : address;
    Entry& e = add(Direction::Sent, command);
    m_card = card;
    e.linkLayer = true;
    e.outcome = sent ? CommTcp::SendOutcome::Sent : CommTcp::SendOutcome::WriteFailed;
    e.detail = what.isEmpty() ? hardwareAddress : hardwareAddress + QLatin1Char(' ') + what;
}

void Journal::cardResultReceived(bool succeeded)
{
    const QString card = m_card;
    m_card.clear(); // the answer does not say which card it comes from
    Entry& e = add(Direction::Received, 3);
    m_card = card;
    e.linkLayer = true;
    e.resultByte = succeeded ? 1 : 0;
}

QString Journal::timeText(const Entry& e, bool withDate)
{
    const QString format = withDate ? QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz") : QStringLiteral("hh:mm:ss.zzz");
    return QDateTime::fromMSecsSinceEpoch(e.firstMs).toString(format);
}

QString Journal::codeText(const Entry& e)
{
    if (e.linkLayer)
        return QStringLiteral("L") + QString::number(e.code);
    return e.code < 0 ? QString() : QString::number(e.code);
}

QString Journal::meaning(const Entry& e)
{
    using namespace CommandCode;
    const bool sent = e.direction == Direction::Sent;
    const QString detail = e.detail.isEmpty() ? QString() : QStringLiteral(": ") + e.detail;
    switch (e.direction) {
    case Direction::Link:
        switch (e.event) {
        case LinkEvent::Connected: return tr("connect");
        case LinkEvent::ConnectFailed: return tr("connect");
        case LinkEvent::Closed: return tr("connection closed");
        case LinkEvent::None: break;
        }
        return QString();
    case Direction::Sent:
    case Direction::Received: break;
    }
    if (e.summary == Summary::Chunks) {
        return tr("image chunks: %1 sent (%2 bytes), %3 acknowledged").arg(e.frames).arg(e.bytes).arg(e.replies);
    }
    if (e.summary == Summary::BackupPieces) {
        return e.total > 0
            ? tr("backup data: %1 requests, %2 of %3 bytes received").arg(e.frames).arg(e.bytes).arg(e.total)
            : tr("backup data: %1 requests, %2 bytes received").arg(e.frames).arg(e.bytes);
    }
    if (e.linkLayer) {
        if (!sent)
            return tr("link-layer answer");
        return (e.code == 2 ? tr("set IP settings (link layer)") : tr("reboot (link layer)")) + detail;
    }
    QString text;
    switch (e.code) {
    case ReadVersion: text = sent ? tr("read version") : tr("version"); break;
    case Reboot: text = tr("reboot"); break;
    case SetIpSettings: text = tr("IP settings reply"); break;
    case SetIpSettingsDone: text = tr("IP settings set"); break;
    case ResetIpSettingsDone: text = tr("IP settings reset"); break;
    case ReadDate: text = sent ? tr("read date") : tr("date"); break;
    case SetDate: text = sent ? tr("set date") : tr("date set"); break;
    case ListLogs: text = sent ? tr("list logs") : tr("log list"); break;
    case OpenLog: text = sent ? tr("open or close log") : tr("log opened or closed"); break;
    case LogText: text = tr("log text"); break;
    case OpenSerialPort: text = sent ? tr("open or close serial port") : tr("serial port opened or closed"); break;
    case SerialSend: text = sent ? tr("send to serial port") : tr("serial data sent"); break;
    case SerialReceived: text = tr("serial data received"); break;
    case ReadFixedParams: text = sent ? tr("read fixed parameters") : tr("fixed parameters"); break;
    case WriteFixedParams: text = sent ? tr("write fixed parameters") : tr("fixed parameters written"); break;
    case ReadPorts: text = sent ? tr("read ports") : tr("ports"); break;
    case WritePorts: text = sent ? tr("write ports") : tr("ports written"); break;
    case ConsoleCommand: text = tr("console command"); break;
    case ConsoleAnswer: text = tr("console answer"); break;
    case StartProgramming:
        text = sent && e.total > 0 ? tr("start programming %1, %2 bytes").arg(e.detail).arg(e.total)
                                   : tr("start programming");
        return text;
    case ImageChunk: text = tr("image chunk"); break;
    case Installing: text = tr("installing"); break;
    case ProgrammingFinished: text = tr("programming finished"); break;
    case BackupPreparing: text = tr("backup being prepared"); break;
    case StartBackup:
        if (!sent)
            return e.total > 0 ? tr("backup size %1 bytes").arg(e.total) : tr("backup size");
        text = tr("start backup");
        break;
    case BackupData: text = tr("backup data"); break;
    default: text = tr("unknown code"); break;
    }
    text += detail;
    if (e.frames > 1)
        text += QLatin1Char(' ') + tr("(%1 frames, %2 bytes)").arg(e.frames).arg(e.bytes);
    return text;
}

QString Journal::result(const Entry& e)
{
    if (e.direction == Direction::Link) {
        switch (e.event) {
        case LinkEvent::Connected: return tr("connected");
        case LinkEvent::ConnectFailed: return tr("failed: %1").arg(e.detail);
        case LinkEvent::Closed: return tr("closed");
        case LinkEvent::None: break;
        }
        return QString();
    }
    if (e.summary != Summary::Single) {
        switch (e.ending) {
        case Ending::Open: return tr("in progress");
        case Ending::Completed: return tr("completed");
        case Ending::Refused: return tr("refused at chunk %1").arg(e.refusedAt);
        case Ending::LinkLost: return tr("connection lost");
        case Ending::WriteFailed: return tr("send failed");
        case Ending::Stopped: return tr("stopped");
        }
    }
    if (e.direction == Direction::Sent) {
        switch (e.outcome) {
        case CommTcp::SendOutcome::Sent: return tr("sent");
        case CommTcp::SendOutcome::NotConnected: return tr("not sent: not connected");
        case CommTcp::SendOutcome::WriteFailed: return e.linkLayer ? tr("not sent") : tr("send failed");
        }
    }
    if (e.resultByte == 0)
        return tr("failure");
    if (e.resultByte > 0)
        return tr("success");
    return tr("received");
}

QString Journal::text() const
{
    QString out = tr("Time") + kTab + tr("Card") + kTab + tr("Code") + kTab + tr("Direction") + kTab + tr("Meaning")
        + kTab + tr("Result") + QLatin1Char('\n');
    if (m_firstNumber > 0)
        out += tr("(%1 earlier entries dropped)").arg(m_firstNumber) + QLatin1Char('\n');
    for (const Entry& e : m_entries) {
        out += timeText(e, true) + kTab + e.card + kTab + codeText(e) + kTab + directionText(e) + kTab + meaning(e)
            + kTab + result(e) + QLatin1Char('\n');
    }
    return out;
}

QString Journal::directionText(const Entry& e)
{
    switch (e.direction) {
    case Direction::Sent: return tr("to card");
    case Direction::Received: return tr("from card");
    case Direction::Link: return tr("link");
    }
    return QString();
}
