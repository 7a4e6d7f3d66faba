#include "pageroot.h"

PageRoot::PageRoot(QWidget* parent)
    : QWidget(parent)
{
}

void PageRoot::handleRespond(int, const quint8*, int)
{
}
