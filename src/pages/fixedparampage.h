#pragma once

#include "fixedparams.h"

#include <QByteArray>
#include <QVector>
#include <QWidget>
#include <memory>

struct UI_FixedParamPage;

// The connected card's fixed parameters as a table of key and value: read
// (code 14), edited, written back (code 15), and saved to or loaded from an
// INI file. The table is the page's only state.
class FixedParamPage : public QWidget {
    Q_OBJECT

public:
    explicit FixedParamPage(QWidget* parent = nullptr);
    ~FixedParamPage() override;

signals:
    void sendCmd(int cmd, QByteArray data);

public slots:
    void handleRespond(int cmd, const quint8* data, int size);
    // The link connected to a card or closed: the rows read from a card go,
    // so that Write cannot give one card another's identity. Rows loaded from
    // a file or typed in stay.
    void linkChanged();

private slots:
    void backupFixedParam();
    void loadFixedParam();
    void resetFixedParam();
    void addFixedParam();
    void sendFixedParam();
    void handleReadFixed(const quint8* data, int size);
    void handleWriteFixed(uchar result);
    void handleCellChangedEvent(int row, int column);

protected:
    void changeEvent(QEvent* event) override;

private:
    void setRow(int row, const QString& key, const QString& value, bool fromCard = false);
    // Every row of the table; a row missing its key or value cell is not complete.
    QVector<FixedParams::Row> tableRows() const;

    std::unique_ptr<UI_FixedParamPage> ui;
};
