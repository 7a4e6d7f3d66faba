#pragma once

// Helpers for the page tests, and a page wired to a real command link, which
// is connected over loopback to a simulated card, by the main window's own
// wiring.

#include "link/commtcp.h"
#include "mainwindow/mainwindow.h"
#include "pages/displaylogpage.h"
#include "pages/fixedparampage.h"
#include "pages/pageroot.h"
#include "pages/settingspage.h"
#include "pages/sptestpage.h"
#include "support/boxrecorder.h"
#include "support/simulatorfixture.h"

#include <QPushButton>
#include <QtTest>
#include <tuple>

inline QByteArray hexBytes(const char* text)
{
    return QByteArray::fromHex(text);
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

template <typename Page> class PageOnWire {
public:
    // `options` are the simulator's own command line after its address.
    PageOnWire(const QString& address, const QStringList& options)
        : sim(QStringList { QStringLiteral("--listen"), address } + options)
        , address(address)
    {
    }

    // Starts the card, wires the page alone and connects; false with a diagnostic.
    bool start()
    {
        QString error;
        if (!sim.start(&error)) {
            qWarning().noquote() << "simulator:" << error;
            return false;
        }
        MainWindow::Pages pages;
        std::get<Page*&>(
            std::tie(pages.programming, pages.settings, pages.fixedParams, pages.log, pages.serialTest, pages.root))
            = &page;
        MainWindow::wirePages(&link, pages, &link);
        page.show();
        link.connectToDevice(address);
        return link.isConnected();
    }
    template <typename W> W* child(const char* name) const { return childOf<W>(page, name); }
    void click(const char* button) const { ::click(page, button); }

    BoxRecorder boxes;
    SimulatorFixture sim;
    const QString address;
    CommTcp link;
    Page page;
};
