// Codes 11, 12 and 13, the card's own serial (RS-485) port. Code 11 opens the
// port with the settings of the request (or closes it, without data), code
// 12 sends bytes out of it, and whatever the port receives goes back to the
// connection that opened it as code 13.
//
// What sits on the far end of the port is chosen per card: a loop-back plug
// that returns every byte sent ("echo"), or a Modbus RTU slave with a range
// of registers ("modbus") that answers CRC-checked requests as a real slave
// does (no answer to a bad CRC or to another slave's address).

#include "card.h"
#include "cardfeature.h"
#include "cardsession.h"
#include "link/commandcodes.h"
#include "link/crc16.h"
#include "recorder.h"

#include <QJsonObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <memory>

namespace {
// The card accepts indexes into these lists (baud rate, data bits, parity,
// flow control, stop bits).
constexpr int kIndexCounts[] = { 8, 4, 3, 3, 2 };
const char* const kSettingNames[] = { "baud", "dataBits", "parity", "flowControl", "stopBits" };

// A Modbus RTU slave with one block of 16-bit registers, read by functions 3
// and 4 and written by functions 6 and 16.
class ModbusSlave {
public:
    void configure(int address, int first, int last)
    {
        m_address = address;
        m_first = first;
        m_registers.resize(last - first + 1);
        for (int i = 0; i < m_registers.size(); ++i)
            m_registers[i] = quint16(first + i);
    }

    // The answer to one request frame, CRC included; empty when a slave
    // stays silent (bad CRC, too short, another slave, a broadcast).
    QByteArray answer(const QByteArray& request)
    {
        if (request.size() < 4)
            return QByteArray();
        const int body = request.size() - 2;
        const quint16 crc = quint16(quint8(request.at(body)) | (quint8(request.at(body + 1)) << 8));
        if (crc16Modbus(request.constData(), body) != crc)
            return QByteArray();
        const int slave = quint8(request.at(0));
        if (slave != 0 && slave != m_address)
            return QByteArray();
        const QByteArray pdu = request.mid(1, body - 1);
        QByteArray reply = execute(pdu);
        if (slave == 0 || reply.isEmpty())
            return QByteArray();
        reply.prepend(char(m_address));
        const quint16 out = crc16Modbus(reply);
        reply.append(char(out & 0xFF));
        reply.append(char(out >> 8));
        return reply;
    }

private:
    static quint16 word(const QByteArray& bytes, int at)
    {
        return quint16((quint8(bytes.at(at)) << 8) | quint8(bytes.at(at + 1)));
    }
    static void appendWord(QByteArray& bytes, quint16 value)
    {
        bytes.append(char(value >> 8));
        bytes.append(char(value & 0xFF));
    }
    static QByteArray exception(int function, int code)
    {
        QByteArray reply;
        reply.append(char(function | 0x80));
        reply.append(char(code));
        return reply;
    }
    bool inRange(int start, int count) const
    {
        return start >= m_first && count >= 1 && start - m_first + count <= m_registers.size();
    }

    QByteArray execute(const QByteArray& pdu)
    {
        if (pdu.isEmpty())
            return QByteArray();
        const int function = quint8(pdu.at(0));
        switch (function) {
        case 3:
        case 4: {
            if (pdu.size() != 5)
                return exception(function, 3);
            const int start = word(pdu, 1);
            const int count = word(pdu, 3);
            if (count < 1 || count > 125)
                return exception(function, 3);
            if (!inRange(start, count))
                return exception(function, 2);
            QByteArray reply;
            reply.append(char(function));
            reply.append(char(count * 2));
            for (int i = 0; i < count; ++i)
                appendWord(reply, m_registers.at(start - m_first + i));
            return reply;
        }
        case 6: {
            if (pdu.size() != 5)
                return exception(function, 3);
            const int at = word(pdu, 1);
            if (!inRange(at, 1))
                return exception(function, 2);
            m_registers[at - m_first] = word(pdu, 3);
            return pdu;
        }
        case 16: {
            if (pdu.size() < 6)
                return exception(function, 3);
            const int start = word(pdu, 1);
            const int count = word(pdu, 3);
            const int bytes = quint8(pdu.at(5));
            if (count < 1 || count > 123 || bytes != count * 2 || pdu.size() != 6 + bytes)
                return exception(function, 3);
            if (!inRange(start, count))
                return exception(function, 2);
            for (int i = 0; i < count; ++i)
                m_registers[start - m_first + i] = word(pdu, 6 + 2 * i);
            return pdu.left(5);
        }
        default: return exception(function, 1);
        }
    }

    int m_address = 1;
    int m_first = 0;
    QVector<quint16> m_registers;
};

class SerialFeature : public CardFeature {
public:
    explicit SerialFeature(Card& c)
        : CardFeature(c)
    {
        int first = 0;
        int last = 99;
        const QStringList range
            = c.config().text(QStringLiteral("modbus-registers"), QStringLiteral("0-99")).split(QLatin1Char('-'));
        if (range.size() == 2) {
            bool okFirst = false;
            bool okLast = false;
            const int a = range.at(0).trimmed().toInt(&okFirst, 0);
            const int b = range.at(1).trimmed().toInt(&okLast, 0);
            if (okFirst && okLast && a >= 0 && b >= a && b <= 0xFFFF) {
                first = a;
                last = b;
            }
        }
        m_slave.configure(int(c.config().integer(QStringLiteral("modbus-slave"), 1)) & 0xFF, first, last);
    }

    bool handle(CardSession& session, int cmd, const QByteArray& data) override
    {
        switch (cmd) {
        case CommandCode::OpenSerialPort:
            if (data.isEmpty())
                closePort(session);
            else
                openPort(session, data);
            return true;
        case CommandCode::SerialSend: sendOut(session, data); return true;
        default: return false;
        }
    }

    void sessionClosed(CardSession& session) override
    {
        // The card releases its port when the connection that opened it goes.
        if (m_owner == &session || m_owner.isNull())
            stopPort();
    }

private:
    void openPort(CardSession& session, const QByteArray& data)
    {
        const int nameLength = data.size() >= 2 ? quint8(data.at(1)) : -1;
        if (nameLength < 0 || data.size() != 2 + nameLength + 5) {
            session.reply(CommandCode::OpenSerialPort, QByteArray(1, '\0'));
            return;
        }
        const QString name = QString::fromUtf8(data.mid(2, nameLength));
        QJsonObject settings { { QStringLiteral("rs485"), data.at(0) != 0 }, { QStringLiteral("port"), name } };
        bool valid = true;
        for (int i = 0; i < 5; ++i) {
            const int index = quint8(data.at(2 + nameLength + i));
            settings.insert(QString::fromLatin1(kSettingNames[i]), index);
            valid = valid && index < kIndexCounts[i];
        }
        const QStringList ports
            = card().config().text(QStringLiteral("serial-ports")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (!ports.isEmpty() && !ports.contains(name))
            valid = false;
        if (card().config().flag(QStringLiteral("serial-open-fail")))
            valid = false;
        settings.insert(QStringLiteral("ok"), valid);
        card().recorder().event(card().address(), session.id(), QStringLiteral("serial-open"), settings);
        if (valid) {
            stopPort();
            m_owner = &session;
            m_open = true;
            startStream(session);
        }
        session.reply(CommandCode::OpenSerialPort, QByteArray(1, valid ? '\1' : '\0'));
    }

    void closePort(CardSession& session)
    {
        card().recorder().event(card().address(), session.id(), QStringLiteral("serial-close"));
        stopPort();
        session.reply(CommandCode::OpenSerialPort, QByteArray(1, '\1'));
    }

    void stopPort()
    {
        m_open = false;
        m_owner.clear();
        if (m_stream)
            m_stream->deleteLater();
        m_stream.clear();
    }

    void sendOut(CardSession& session, const QByteArray& data)
    {
        const bool ok = m_open && m_owner == &session && !card().config().flag(QStringLiteral("serial-send-fail"));
        session.reply(CommandCode::SerialSend, QByteArray(1, ok ? '\1' : '\0'));
        if (!ok || data.isEmpty())
            return;
        const QByteArray answer = card().config().text(QStringLiteral("serial-mode")) == QLatin1String("modbus")
            ? m_slave.answer(data)
            : data;
        if (answer.isEmpty())
            return;
        const qint64 delay = card().config().integer(QStringLiteral("serial-answer-ms"), 0);
        if (delay <= 0) {
            session.reply(CommandCode::SerialReceived, answer);
            return;
        }
        QPointer<CardSession> target(&session);
        QTimer::singleShot(int(qMin<qint64>(delay, 60000)), &session, [target, answer] {
            if (target)
                target->reply(CommandCode::SerialReceived, answer);
        });
    }

    // A chattering device on the bus: while the port is open, a line of text
    // arrives every so many milliseconds.
    void startStream(CardSession& session)
    {
        const qint64 every = card().config().integer(QStringLiteral("serial-stream-ms"), 0);
        if (every <= 0)
            return;
        auto* timer = new QTimer(&session);
        m_stream = timer;
        QPointer<CardSession> target(&session);
        QObject::connect(timer, &QTimer::timeout, timer, [target, counter = 0]() mutable {
            if (target)
                target->reply(
                    CommandCode::SerialReceived, QByteArray("meter ") + QByteArray::number(++counter) + " 230.1V\r\n");
        });
        timer->start(int(qBound<qint64>(1, every, 3600000)));
    }

    ModbusSlave m_slave;
    QPointer<CardSession> m_owner;
    QPointer<QTimer> m_stream;
    bool m_open = false;
};

FeatureRegistry::Registrar reg({ QStringLiteral("serial"),
    {
        { QStringLiteral("serial-mode"), QStringLiteral("mode"),
            QStringLiteral("What answers on the card's serial port: \"echo\" returns every byte sent, "
                           "\"modbus\" is a Modbus RTU slave."),
            QStringLiteral("echo") },
        { QStringLiteral("serial-ports"), QStringLiteral("names"),
            QStringLiteral("Port names the card accepts, separated by commas (default: any)."), QString() },
        { QStringLiteral("serial-open-fail"), QString(),
            QStringLiteral("Refuse to open the serial port (code 11 answers 0)."), QString() },
        { QStringLiteral("serial-send-fail"), QString(), QStringLiteral("Fail every send (code 12 answers 0)."),
            QString() },
        { QStringLiteral("serial-answer-ms"), QStringLiteral("ms"),
            QStringLiteral("Delay between a send and the port's answer (code 13)."), QStringLiteral("0") },
        { QStringLiteral("serial-stream-ms"), QStringLiteral("ms"),
            QStringLiteral("While the port is open, a device on the bus sends a line this often (0: never)."),
            QStringLiteral("0") },
        { QStringLiteral("modbus-slave"), QStringLiteral("address"), QStringLiteral("Address of the Modbus slave."),
            QStringLiteral("1") },
        { QStringLiteral("modbus-registers"), QStringLiteral("first-last"),
            QStringLiteral("Register addresses of the Modbus slave; register n starts with the value n."),
            QStringLiteral("0-99") },
    },
    [](Card& c) { return std::make_unique<SerialFeature>(c); } });

} // namespace
