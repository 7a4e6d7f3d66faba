#include "ui_programmingpage.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

void UI_ProgrammingPage::setupUi(QWidget* page)
{
    verticalLayout = new QVBoxLayout(page);
    verticalLayout->addStretch();

    rowType = new QHBoxLayout();
    labelProgType = new QLabel(page);
    labelProgType->setObjectName(QStringLiteral("labelProgType"));
    comboBoxProgType = new QComboBox(page);
    comboBoxProgType->setObjectName(QStringLiteral("comboBoxProgType"));
    comboBoxProgType->setMinimumWidth(140);
    labelProgType->setBuddy(comboBoxProgType);
    btnBackup = new QPushButton(page);
    btnBackup->setObjectName(QStringLiteral("btnBackup"));
    rowType->addWidget(labelProgType);
    rowType->addWidget(comboBoxProgType);
    rowType->addStretch();
    rowType->addWidget(btnBackup);
    verticalLayout->addLayout(rowType);

    rowVersion = new QHBoxLayout();
    labelVersionTitle = new QLabel(page);
    labelVersionTitle->setObjectName(QStringLiteral("labelVersionTitle"));
    labelVersion = new QLabel(page);
    labelVersion->setObjectName(QStringLiteral("labelVersion"));
    labelVersion->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    labelVersion->setTextFormat(Qt::PlainText);
    btnRead = new QPushButton(page);
    btnRead->setObjectName(QStringLiteral("btnRead"));
    rowVersion->addWidget(labelVersionTitle);
    rowVersion->addWidget(labelVersion);
    rowVersion->addStretch();
    rowVersion->addWidget(btnRead);
    verticalLayout->addLayout(rowVersion);

    rowFile = new QHBoxLayout();
    labelFile = new QLabel(page);
    labelFile->setObjectName(QStringLiteral("labelFile"));
    leFile = new QLineEdit(page);
    leFile->setObjectName(QStringLiteral("leFile"));
    labelFile->setBuddy(leFile);
    btnChoose = new QPushButton(page);
    btnChoose->setObjectName(QStringLiteral("btnChoose"));
    btnProgramming = new QPushButton(page);
    btnProgramming->setObjectName(QStringLiteral("btnProgramming"));
    btnBatchProgramming = new QPushButton(page);
    btnBatchProgramming->setObjectName(QStringLiteral("btnBatchProgramming"));
    rowFile->addWidget(labelFile);
    rowFile->addWidget(leFile);
    rowFile->addWidget(btnChoose);
    rowFile->addWidget(btnProgramming);
    rowFile->addWidget(btnBatchProgramming);
    verticalLayout->addLayout(rowFile);

    rowFileInfo = new QHBoxLayout();
    labelFileInfo = new QLabel(page);
    labelFileInfo->setObjectName(QStringLiteral("labelFileInfo"));
    labelFileInfo->setTextFormat(Qt::PlainText);
    // The page elides the path to the width the row gives the label; the
    // text itself must not widen the page.
    labelFileInfo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    rowFileInfo->addWidget(labelFileInfo);
    verticalLayout->addLayout(rowFileInfo);

    rowProgress = new QHBoxLayout();
    labelProgress = new QLabel(page);
    labelProgress->setObjectName(QStringLiteral("labelProgress"));
    progressBar = new QProgressBar(page);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    progressBar->setValue(0);
    labelProgress->setBuddy(progressBar);
    rowProgress->addWidget(labelProgress);
    rowProgress->addWidget(progressBar);
    verticalLayout->addLayout(rowProgress);

    rowStatus = new QHBoxLayout();
    labelStatus = new QLabel(page);
    labelStatus->setObjectName(QStringLiteral("labelStatus"));
    labelStatus->setStyleSheet(QStringLiteral("color: red; font: 32px; "));
    labelStatus->setTextFormat(Qt::PlainText);
    labelElapsed = new QLabel(page);
    labelElapsed->setObjectName(QStringLiteral("labelElapsed"));
    labelElapsed->setStyleSheet(labelStatus->styleSheet());
    labelElapsed->setTextFormat(Qt::PlainText);
    rowStatus->addWidget(labelStatus);
    rowStatus->addWidget(labelElapsed);
    rowStatus->addStretch();
    verticalLayout->addLayout(rowStatus);

    verticalLayout->addStretch();
    verticalLayout->addStretch();

    QWidget::setTabOrder(comboBoxProgType, btnBackup);
    QWidget::setTabOrder(btnBackup, btnRead);
    QWidget::setTabOrder(btnRead, leFile);
    QWidget::setTabOrder(leFile, btnChoose);
    QWidget::setTabOrder(btnChoose, btnProgramming);
    QWidget::setTabOrder(btnProgramming, btnBatchProgramming);

    retranslateUi(page);
}

void UI_ProgrammingPage::retranslateUi(QWidget*)
{
    labelProgType->setText(QCoreApplication::translate("ProgrammingPage", "Programming type    :"));
    btnBackup->setText(QCoreApplication::translate("ProgrammingPage", "Backup"));
    labelVersionTitle->setText(QCoreApplication::translate("ProgrammingPage", "Current version     :"));
    btnRead->setText(QCoreApplication::translate("ProgrammingPage", "Read"));
    labelFile->setText(QCoreApplication::translate("ProgrammingPage", "Programming file    :"));
    btnChoose->setText(QCoreApplication::translate("ProgrammingPage", "Choose"));
    btnProgramming->setText(QCoreApplication::translate("ProgrammingPage", "Programming"));
    btnBatchProgramming->setText(QCoreApplication::translate("ProgrammingPage", "Batch Programming"));
    labelProgress->setText(QCoreApplication::translate("ProgrammingPage", "Programming progress:"));

    // Screen readers name the two read-only displays after their labels.
    labelVersion->setAccessibleName(labelVersionTitle->text());
    progressBar->setAccessibleName(labelProgress->text());
    labelFileInfo->setAccessibleName(QCoreApplication::translate("ProgrammingPage", "Chosen file"));
    labelElapsed->setAccessibleName(QCoreApplication::translate("ProgrammingPage", "Installing for"));

    const int index = comboBoxProgType->currentIndex();
    comboBoxProgType->clear();
    comboBoxProgType->addItem(QCoreApplication::translate("ProgrammingPage", "APP"));
    comboBoxProgType->addItem(QCoreApplication::translate("ProgrammingPage", "Firmware"));
    comboBoxProgType->addItem(QCoreApplication::translate("ProgrammingPage", "Patch"));
    if (index >= 0)
        comboBoxProgType->setCurrentIndex(index);
}
