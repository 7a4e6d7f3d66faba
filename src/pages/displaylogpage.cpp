#include "displaylogpage.h"

DisplayLogPage::DisplayLogPage(QWidget* parent)
    : QWidget(parent)
{
}

void DisplayLogPage::handleRespond(int, const quint8*, int)
{
}
