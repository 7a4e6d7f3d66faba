#pragma once

// A page wired to a real command link, which is connected over loopback to a
// simulated card, by the main window's own wiring.

#include "link/commtcp.h"
#include "mainwindow/mainwindow.h"
#include "pages/displaylogpage.h"
#include "pages/fixedparampage.h"
#include "pages/pageroot.h"
#include "pages/settingspage.h"
#include "pages/sptestpage.h"
#include "support/boxrecorder.h"
#include "support/simulatorfixture.h"
#include "support/waituntil.h"

#include "card.h"

#include <QJsonObject>
#include <QPushButton>
#include <QTranslator>
#include <QtTest>
#include <tuple>

inline QByteArray hexBytes(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

template <typename W> W* childOf(const QWidget& page, const char* name)
{
    W* w = page.findChild<W*>(QString::fromLatin1(name));
    if (!w)
        qWarning("no widget %s", name);
    return w;
}

inline void click(const QWidget& page, const char* button)
{
    QTest::mouseClick(childOf<QPushButton>(page, button), Qt::LeftButton);
}

// Hands a reply to the page as if the link had received it.
template <typename Page> void feed(Page& page, int cmd, const QByteArray& data)
{
    page.handleRespond(cmd, reinterpret_cast<const quint8*>(data.constData()), data.size());
}

// A box in one line, "Title: text [icon, parent]", so that what a box said
// and where it stood are compared in one go.
inline QString describe(const MessageBox::Box* box, const QWidget* page)
{
    if (!box)
        return QStringLiteral("no box");
    static const char* const icons[] = { "no icon", "information", "warning", "critical", "question" };
    const char* parent = !box->parent ? "no parent" : box->parent == page ? "page" : "other parent";
    return QStringLiteral("%1: %2 [%3, %4]")
        .arg(box->title, box->text, QLatin1String(icons[box->icon]), QLatin1String(parent));
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

// The wiring of one page alone.
template <typename Page> MainWindow::Pages only(Page* page)
{
    MainWindow::Pages p;
    std::get<Page*&>(std::tie(p.programming, p.settings, p.fixedParams, p.log, p.serialTest, p.root)) = page;
    return p;
}

template <typename Page> class PageOnWire {
public:
    using ReplySignal = void (CommTcp::*)(int, const quint8*, int);
    static constexpr int kWaitMs = 5000;

    // `options` are the simulator's own command line after its address.
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
        MainWindow::wirePages(&link, only(&page), &link);
        QObject::connect(&link, m_replies, &page, [this](int cmd, const quint8*, int) { replies.append(cmd); });
        page.resize(800, 500);
        page.show();
        link.connectToDevice(m_address);
        return link.isConnected();
    }

    // The data of every frame of code `cmd` the card received ("in") or sent ("out").
    QList<QByteArray> data(const QString& dir, int cmd, const char* field = "data") const
    {
        QList<QByteArray> result;
        for (const QJsonObject& r : sim.frames(dir, cmd))
            result.append(QByteArray::fromHex(r.value(QLatin1String(field)).toString().toLatin1()));
        return result;
    }
    QList<QByteArray> in(int cmd) const { return data(QStringLiteral("in"), cmd); }
    QList<QByteArray> out(int cmd) const { return data(QStringLiteral("out"), cmd); }
    // The whole frames of code `cmd` the card received, start byte to checksum.
    QList<QByteArray> wireIn(int cmd) const { return data(QStringLiteral("in"), cmd, "frame"); }

    // Waits until the card has received more than `count` frames of `cmd`.
    bool waitIn(int cmd, int count = 0)
    {
        return waitUntil([&] { return sim.frames(QStringLiteral("in"), cmd).size() > count; }, kWaitMs);
    }
    // Sends an unrelated command and waits until the card has it: everything
    // the page sent before has arrived by then.
    bool drain()
    {
        const int before = sim.frames(QStringLiteral("in"), 3).size();
        link.send(3);
        return waitIn(3, before);
    }

    const QString& address() const { return m_address; }
    QString lastBox() const { return describe(boxes.last(), &page); }
    template <typename W> W* child(const char* name) const { return childOf<W>(page, name); }
    void click(const char* button) const { ::click(page, button); }

    BoxRecorder boxes;
    SimulatorFixture sim;
    CommTcp link;
    Page page;
    QList<int> replies; // codes of the replies the page was handed, in order

private:
    QString m_address;
    ReplySignal m_replies;
};
