#include "cellwidgetaccess.h"

#include <QAccessibleWidget>
#include <QTableWidget>

namespace {

const char* const kExposed = "exposesCellWidgets";

class CellWidgetTable : public QAccessibleWidget {
public:
    explicit CellWidgetTable(QTableWidget* table)
        : QAccessibleWidget(table, QAccessible::Table)
    {
    }

    int childCount() const override { return cells().size(); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> list = cells();
        return index >= 0 && index < list.size() ? QAccessible::queryAccessibleInterface(list.at(index)) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && child->object() ? cells().indexOf(qobject_cast<QWidget*>(child->object())) : -1;
    }

private:
    QList<QWidget*> cells() const
    {
        auto* table = static_cast<QTableWidget*>(widget());
        QList<QWidget*> list;
        for (int row = 0; row < table->rowCount(); ++row) {
            for (int column = 0; column < table->columnCount(); ++column) {
                if (QWidget* cell = table->cellWidget(row, column))
                    list.append(cell);
            }
        }
        return list;
    }
};

QAccessibleInterface* factory(const QString&, QObject* object)
{
    auto* table = qobject_cast<QTableWidget*>(object);
    return table && table->property(kExposed).toBool() ? new CellWidgetTable(table) : nullptr;
}

} // namespace

namespace CellWidgetAccess {

void expose(QTableWidget* table)
{
    static const bool installed = (QAccessible::installFactory(factory), true);
    Q_UNUSED(installed);
    table->setProperty(kExposed, true);
}

} // namespace CellWidgetAccess
