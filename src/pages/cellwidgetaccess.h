#pragma once

class QTableWidget;

namespace CellWidgetAccess {

// A table view tells a screen reader only about its items: the widgets set
// into its cells (check boxes, line edits) are missing from the tree that
// assistive tools search by role and name. After this call the table's
// accessible children are its cell widgets, row by row, so that each is
// found under the table with its own role and name.
void expose(QTableWidget* table);

} // namespace CellWidgetAccess
