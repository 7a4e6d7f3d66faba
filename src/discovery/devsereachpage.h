#pragma once

#include <QWidget>

// Placeholder until the page is built; it holds its slot in the page stack.
class DevSereachPage : public QWidget {
    Q_OBJECT

public:
    explicit DevSereachPage(QWidget* parent = nullptr);
};
