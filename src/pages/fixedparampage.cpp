#include "fixedparampage.h"

FixedParamPage::FixedParamPage(QWidget* parent)
    : QWidget(parent)
{
}

void FixedParamPage::handleRespond(int, const quint8*, int)
{
}
