#include "settingspage.h"

SettingsPage::SettingsPage(QWidget* parent)
    : QWidget(parent)
{
}

void SettingsPage::handleRespond(int, const quint8*, int)
{
}
