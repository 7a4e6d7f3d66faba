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
    tableWidgetParam->setHorizontalHeaderLabels({ QCoreApplication::translate("FixedParamPage", "Item"),
        QCoreApplication::translate("FixedParamPage", "value") });
    pageLayout->addWidget(tableWidgetParam);

    buttonLayout = new QHBoxLayout;
    const auto button = [page](const char* name, const char* text) {
        auto* b = new QPushButton(QCoreApplication::translate("FixedParamPage", text), page);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    btnBackup = button("btnBackup", QT_TRANSLATE_NOOP("FixedParamPage", "Backup"));
    btnLoad = button("btnLoad", QT_TRANSLATE_NOOP("FixedParamPage", "Load"));
    btnReset = button("btnReset", QT_TRANSLATE_NOOP("FixedParamPage", "Reset"));
    btnAdd = button("btnAdd", QT_TRANSLATE_NOOP("FixedParamPage", "Add"));
    btnRead = button("btnRead", QT_TRANSLATE_NOOP("FixedParamPage", "Read"));
    btnWrite = button("btnWrite", QT_TRANSLATE_NOOP("FixedParamPage", "Write"));
    buttonLayout->addWidget(btnBackup);
    buttonLayout->addWidget(btnLoad);
    buttonLayout->addWidget(btnReset);
    buttonLayout->addStretch();
    buttonLayout->addWidget(btnAdd);
    buttonLayout->addWidget(btnRead);
    buttonLayout->addWidget(btnWrite);
    pageLayout->addLayout(buttonLayout);
}
