#include "ui_fixedparampage.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

void UI_FixedParamPage::setupUi(QWidget* page)
{
    pageLayout = new QVBoxLayout(page);
    pageLayout->setObjectName(QStringLiteral("pageLayout"));
    tableWidgetParam = new QTableWidget(0, ColumnCount, page);
    tableWidgetParam->setObjectName(QStringLiteral("tableWidgetParam"));
    tableWidgetParam->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    pageLayout->addWidget(tableWidgetParam);

    buttonLayout = new QHBoxLayout;
    const auto button = [page](const char* name) {
        auto* b = new QPushButton(page);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    btnBackup = button("btnBackup");
    btnLoad = button("btnLoad");
    btnReset = button("btnReset");
    btnAdd = button("btnAdd");
    btnRead = button("btnRead");
    btnWrite = button("btnWrite");
    buttonLayout->addWidget(btnBackup);
    buttonLayout->addWidget(btnLoad);
    buttonLayout->addWidget(btnReset);
    buttonLayout->addStretch();
    buttonLayout->addWidget(btnAdd);
    buttonLayout->addWidget(btnRead);
    buttonLayout->addWidget(btnWrite);
    pageLayout->addLayout(buttonLayout);
    retranslateUi();
}

void UI_FixedParamPage::retranslateUi()
{
    tableWidgetParam->setHorizontalHeaderLabels({ QCoreApplication::translate("FixedParamPage", "Item"),
        QCoreApplication::translate("FixedParamPage", "value") });
    tableWidgetParam->setAccessibleName(QCoreApplication::translate("FixedParamPage", "Fixed parameters"));
    btnBackup->setText(QCoreApplication::translate("FixedParamPage", "Backup"));
    btnLoad->setText(QCoreApplication::translate("FixedParamPage", "Load"));
    btnReset->setText(QCoreApplication::translate("FixedParamPage", "Reset"));
    btnAdd->setText(QCoreApplication::translate("FixedParamPage", "Add"));
    btnRead->setText(QCoreApplication::translate("FixedParamPage", "Read"));
    btnWrite->setText(QCoreApplication::translate("FixedParamPage", "Write"));
}
