#include "devsereachpage.h"

DevSereachPage::DevSereachPage(QWidget* parent)
    : QWidget(parent)
{
}
