// What a screen reader finds: a name for every input and view of the window
// and its dialogs, and the port table's cells by their role and name.

#include "discovery/dialogsetip.h"
#include "mainwindow/mainwindow.h"
#include "pages/pageroot.h"
#include "pages/settingspage.h"
#include "programming/batchprogrammingdialog.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QHeaderView>
#include <QtTest>

#include <functional>

using Make = std::function<QWidget*()>;
Q_DECLARE_METATYPE(Make)

namespace {

bool isInputOrView(const QWidget* w)
{
    // Combo and spin boxes name their own parts (a combo box's list sits in
    // a popup container); a table's corner button is no Tab stop.
    for (const QWidget* up = w->parentWidget(); up; up = up->parentWidget()) {
        if (up->inherits("QComboBox") || up->inherits("QComboBoxPrivateContainer") || up->inherits("QAbstractSpinBox"))
            return false;
    }
    if (qobject_cast<const QHeaderView*>(w)
        || (w->focusPolicy() == Qt::NoFocus && qobject_cast<const QAbstractButton*>(w)))
        return false;
    return w->inherits("QLineEdit") || w->inherits("QComboBox") || w->inherits("QAbstractItemView")
        || w->inherits("QTextEdit") || w->inherits("QProgressBar") || w->inherits("QAbstractButton")
        || w->inherits("QAbstractSpinBox");
}

QAccessibleInterface* find(QAccessibleInterface* node, QAccessible::Role role, const QString& name, int depth = 0)
{
    if (!node || depth > 12 || (node->role() == role && node->text(QAccessible::Name) == name))
        return node;
    for (int i = 0; i < node->childCount(); ++i) {
        if (QAccessibleInterface* found = find(node->child(i), role, name, depth + 1))
            return found;
    }
    return nullptr;
}

} // namespace

class TestAccessibleNames : public QObject {
    Q_OBJECT

    QTemporaryDir m_workDir;

private slots:
    // The main window keeps its files in the working directory.
    void initTestCase() { QVERIFY(QDir::setCurrent(m_workDir.path())); }

    void everyInputAndViewHasAName_data()
    {
        QTest::addColumn<Make>("make");
        // The window holds every page but those opened on demand.
        QTest::newRow("main window") << Make([] { return new MainWindow; });
        QTest::newRow("batch") << Make([] { return new BatchProgrammingDialog(nullptr, 1); });
        QTest::newRow("console") << Make([] { return new PageRoot; });
        QTest::newRow("set ip") << Make([] { return new DialogSetIP; });
    }

    void everyInputAndViewHasAName()
    {
        QFETCH(Make, make);
        std::unique_ptr<QWidget> window(make());
        QStringList unnamed;
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (isInputOrView(w) && QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty())
                unnamed.append(w->objectName() + QLatin1Char('/') + QLatin1String(w->metaObject()->className()));
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    }

    void portTableCellsFoundByRoleAndName()
    {
        SettingsPage page;
        QAccessibleInterface* top = QAccessible::queryAccessibleInterface(&page);
        QAccessibleInterface* check = find(top, QAccessible::CheckBox, QStringLiteral("SSH Enable"));
        QAccessibleInterface* port = find(top, QAccessible::EditableText, QStringLiteral("HTTPS Port"));
        QVERIFY(check && port);
        QCOMPARE(check->object()->objectName(), QStringLiteral("checkBoxSSH"));
        QCOMPARE(port->object()->objectName(), QStringLiteral("lePortHTTPS"));
    }
};

QTEST_MAIN(TestAccessibleNames)
#include "tst_accessiblenames.moc"
