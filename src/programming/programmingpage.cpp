#include "programmingpage.h"

ProgrammingPage::ProgrammingPage(QWidget* parent)
    : QWidget(parent)
{
}

void ProgrammingPage::handleRespond(int, const quint8*, int)
{
}

void ProgrammingPage::addRootProgType()
{
}

void ProgrammingPage::handleError()
{
}
