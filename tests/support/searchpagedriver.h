#pragma once

#include "discovery/devsereachpage.h"
#include "discovery/dialogsetip.h"
#include "support/waituntil.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

// The device search page, shown, and the moves a technician makes on it.
// Waits are bounded; they return false on time-out.
class SearchPageDriver {
public:
    explicit SearchPageDriver(int cycleIntervalMs = DiscoverySession::kCycleIntervalMs)
        : page(nullptr, cycleIntervalMs)
    {
        page.resize(1000, 600);
        page.show();
    }

    DevSereachPage page;
    QTreeWidget* const tree = page.findChild<QTreeWidget*>(QStringLiteral("treeWidgetDevice"));
    DiscoverySession* const session = page.findChild<DiscoverySession*>(); // the page's

    bool choose(const QString& interfaceName)
    {
        auto* combo = page.findChild<QComboBox*>(QStringLiteral("comboBoxIntf"));
        waitUntil([&] { return combo->findText(interfaceName) >= 0; }, 3000);
        combo->setCurrentIndex(combo->findText(interfaceName));
        return combo->currentText() == interfaceName;
    }
    // Presses "Refresh" (only ever inside a network namespace of the test's
    // own), waits for its last cycle and for at least `rows` rows, then a
    // moment for the last cycle's replies.
    bool searchAndWait(int rows = 0)
    {
        QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnRefresh")), Qt::LeftButton);
        auto* cycles = session->findChild<QTimer*>(QStringLiteral("timerRefresh"));
        const bool done = waitUntil([&] { return !cycles->isActive() && tree->topLevelItemCount() >= rows; }, 20000);
        QTest::qWait(100);
        return done;
    }

    // A column of the card rows: their hosts, or the data of a role.
    QStringList column(int role = Qt::DisplayRole) const
    {
        QStringList result;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            result.append(tree->topLevelItem(i)->data(0, role).toString());
        return result;
    }
    QStringList hosts() const { return column(); }
    QStringList macs() const { return column(DevSereachPage::kCardHardwareAddressRole); } // empty where none
    QTreeWidgetItem* row(const QString& host, const QString& hardwareAddress = QString()) const
    {
        const QStringList all = hosts(), found = macs();
        for (int i = 0; i < all.size(); ++i)
            if (all.at(i) == host && (hardwareAddress.isEmpty() || found.at(i) == hardwareAddress))
                return tree->topLevelItem(i);
        return nullptr;
    }
    void menuOn(QTreeWidgetItem* item) // the context menu on a row, or on empty space for null
    {
        QPoint pos(5, tree->viewport()->height() - 5);
        if (item) {
            tree->scrollToItem(item);
            pos = tree->visualItemRect(item).center();
        }
        emit tree->customContextMenuRequested(pos);
    }
};

// Runs `act` on the set-IP dialog once it is open (the page runs it modally).
class DialogSetIPWatcher : public QObject {
public:
    explicit DialogSetIPWatcher(std::function<void(DialogSetIP*)> act)
    {
        connect(&m_timer, &QTimer::timeout, this, [this, act] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<DialogSetIP*>(w);
                if (m_ticks < 1000 && dialog && dialog->isVisible()) {
                    seen = true;
                    act(dialog);
                }
            }
            ++m_ticks;
        });
        m_timer.start(10);
    }
    bool seen = false;

private:
    QTimer m_timer;
    int m_ticks = 0;
};
