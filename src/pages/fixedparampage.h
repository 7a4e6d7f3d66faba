#pragma once

#include <QByteArray>
#include <QWidget>

// Placeholder until the page is built; it holds its slot in the page stack
// and already speaks the page interface.
class FixedParamPage : public QWidget {
    Q_OBJECT

public:
    explicit FixedParamPage(QWidget* parent = nullptr);

signals:
    void sendCmd(int cmd, QByteArray data);

public slots:
    void handleRespond(int cmd, const quint8* data, int size);
};
