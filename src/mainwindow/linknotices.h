#pragma once

#include <QObject>
#include <QSet>

class CommTcp;

// Tells the technician what the window's command link reports: a command
// given while no card is connected, a failed write, and the card's answers
// to codes 4, 5 and 7, each in a box with one "Sure" button and no parent.
//
// A reply that comes in while the box for its code is still open is told by
// that box, so a card repeating one cannot stack boxes. Create it after
// every other receiver of the link's sendError: the box follows what the
// pages do about the failure.
class LinkNotices : public QObject {
    Q_OBJECT

public:
    explicit LinkNotices(CommTcp* link, QObject* parent = nullptr);

private:
    void showNotice(int cmd, bool succeeded);

    QSet<int> m_open;
};
