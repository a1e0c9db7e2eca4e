#pragma once

// Reads a data browser through its QTreeView, as a user sees it.

#include "platform/databrowser.h"

#include <QAbstractItemModel>
#include <QTreeView>

#include <vector>

namespace wtest {

inline QTreeView* treeViewOf(ControlRef list)
{
    return qobject_cast<QTreeView*>(GetControlWidget(list));
}

// The items listed, in the order shown: the model labels each row with its item.
inline std::vector<DataBrowserItemID> listedItems(ControlRef list)
{
    std::vector<DataBrowserItemID> items;
    if (const QTreeView* view = treeViewOf(list)) {
        for (int row = 0; row < view->model()->rowCount(); ++row)
            items.push_back(view->model()->headerData(row, Qt::Vertical).toUInt());
    }
    return items;
}

} // namespace wtest
