#pragma once

#include <QByteArray>
#include <QWidget>
#include <memory>

class QColor;
class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QTextBrowser;
class QVBoxLayout;

// The console form; the page owns the widgets through their Qt parents, this
// structure only names them.
struct UI_PageRoot {
    QVBoxLayout* verticalLayout = nullptr;
    QGroupBox* groupBox = nullptr;
    QVBoxLayout* groupLayout = nullptr;
    QTextBrowser* textBrowserCmd = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
    QLineEdit* leCmd = nullptr;
    QPushButton* btnSendCmd = nullptr;

    void setupUi(QWidget* PageRoot);
    void retranslateUi(QWidget* PageRoot);
};

// The hidden console: each typed line goes to the card's own command
// interpreter as code 18, and every answer (code 19) is shown as text in a
// transcript where sent lines and answers differ in colour.
class PageRoot : public QWidget {
    Q_OBJECT

public:
    explicit PageRoot(QWidget* parent = nullptr);
    ~PageRoot() override;

signals:
    void sendCmd(int cmd, QByteArray data);

public slots:
    void handleRespond(int cmd, const quint8* data, int size);

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void onBtnSendCmdClicked();

private:
    void addEntry(const QString& text, const QColor& colour);

    std::unique_ptr<UI_PageRoot> ui;
};
