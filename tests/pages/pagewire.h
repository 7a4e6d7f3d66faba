#pragma once

// A page wired to a real command link, which is connected over loopback to a
// simulated card, as the main window wires it: the page's requests go into
// the link's send, one reply family of the link comes back to the page.

#include "link/commtcp.h"
#include "support/boxrecorder.h"
#include "support/simulatorfixture.h"

#include "card.h"

#include <QJsonObject>
#include <QTranslator>
#include <QtTest>

inline QByteArray hexBytes(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Answers every text of one translation context with a marker, to see what a
// page sets again on a language change.
class MarkingTranslator : public QTranslator {
public:
    explicit MarkingTranslator(const char* context)
        : m_context(context)
    {
    }
    QString translate(const char* context, const char* source, const char* = nullptr, int = -1) const override
    {
        return qstrcmp(context, m_context) == 0 ? QStringLiteral("~") + QString::fromUtf8(source) : QString();
    }
    bool isEmpty() const override { return false; }

private:
    const char* m_context;
};

template <typename Page> class PageOnWire {
public:
    using ReplySignal = void (CommTcp::*)(int, const quint8*, int);

    PageOnWire(const QString& address, ReplySignal replies, const QStringList& options = {})
        : sim(QStringList { QStringLiteral("--listen"), address } + options)
        , m_address(address)
        , m_replies(replies)
    {
    }

    // Starts the card, wires the page and connects; false with a diagnostic.
    bool start()
    {
        QString error;
        if (!sim.start(&error)) {
            qWarning().noquote() << "simulator:" << error;
            return false;
        }
        QObject::connect(&page, &Page::sendCmd, &link, &CommTcp::send);
        QObject::connect(&link, m_replies, &page, &Page::handleRespond);
        QObject::connect(&link, m_replies, &page, [this](int cmd, const quint8*, int) { replies.append(cmd); });
        page.resize(800, 500);
        page.show();
        link.connectToDevice(m_address);
        return link.isConnected();
    }

    // The data of every frame of code `cmd` the card received ("in") or sent ("out").
    QList<QByteArray> data(const QString& dir, int cmd) const
    {
        QList<QByteArray> result;
        for (const QJsonObject& r : sim.frames(dir, cmd))
            result.append(QByteArray::fromHex(r.value(QStringLiteral("data")).toString().toLatin1()));
        return result;
    }
    QList<QByteArray> in(int cmd) const { return data(QStringLiteral("in"), cmd); }
    QList<QByteArray> out(int cmd) const { return data(QStringLiteral("out"), cmd); }
    // The whole frames of code `cmd` the card received, start byte to checksum.
    QList<QByteArray> wireIn(int cmd) const
    {
        QList<QByteArray> result;
        for (const QJsonObject& r : sim.frames(QStringLiteral("in"), cmd))
            result.append(QByteArray::fromHex(r.value(QStringLiteral("frame")).toString().toLatin1()));
        return result;
    }

    template <typename W> W* child(const char* name) const
    {
        W* w = page.template findChild<W*>(QString::fromLatin1(name));
        if (!w)
            qWarning("no widget %s", name);
        return w;
    }

    BoxRecorder boxes;
    SimulatorFixture sim;
    CommTcp link;
    Page page;
    QList<int> replies; // codes of the replies the page was handed, in order

private:
    QString m_address;
    ReplySignal m_replies;
};
