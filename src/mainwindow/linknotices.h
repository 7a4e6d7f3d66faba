#pragma once

#include <QObject>

class CommTcp;

// Tells the technician what the window's command link reports: a command
// given while no card is connected, a failed write, and the card's answers
// to codes 4, 5 and 7, each in a box with one "Sure" button and no parent.
// (The link gives no further report while such a box is open, and one per
// code for what came in behind it.) Create it after every other receiver of
// the link's sendError: the box follows what the pages do about the failure.
class LinkNotices : public QObject {
    Q_OBJECT

public:
    explicit LinkNotices(CommTcp* link, QObject* parent = nullptr);
};
