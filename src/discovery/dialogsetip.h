#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;
class QVBoxLayout;

// The widgets of the set-IP dialog, built in code with the object names the
// form has always had.
struct UI_DialogSetIP {
    QVBoxLayout* verticalLayout = nullptr;
    QGridLayout* gridLayout = nullptr;
    QLabel* label = nullptr;
    QComboBox* comboBoxIntf = nullptr;
    QLabel* label_2 = nullptr;
    QLineEdit* leIP = nullptr;
    QLabel* label_3 = nullptr;
    QLineEdit* leNetmask = nullptr;
    QLabel* label_4 = nullptr;
    QLineEdit* leGateway = nullptr;
    QSpacerItem* verticalSpacer = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
    QSpacerItem* horizontalSpacer = nullptr;
    QPushButton* btnSure = nullptr;

    void setupUi(QDialog* dialog);
    void retranslateUi(QDialog* dialog);
};

// Collects new IP settings for one interface of a card found on the search
// page: the interface (from the card's list), the IP address (required), the
// netmask and the gateway (both optional). It only collects and checks them;
// the page sends them.
class DialogSetIP : public QDialog {
    Q_OBJECT

public:
    explicit DialogSetIP(QWidget* parent = nullptr);
    ~DialogSetIP() override;

    // Appends the names, in order, to the interface list.
    void setInterfaces(const QStringList& names);
    // Interface, IP address, netmask, gateway: the texts as entered.
    QStringList ipSettings() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void onBtnSureClicked();

    std::unique_ptr<UI_DialogSetIP> ui;
};
