#include "sptestpage.h"

SPTestPage::SPTestPage(QWidget* parent)
    : QWidget(parent)
{
}

void SPTestPage::handleRespond(int, const quint8*, int)
{
}
