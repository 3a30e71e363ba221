#pragma once

#include "history/history_store.h"

#include <QtCore/qnamespace.h>

#include <vector>

class QAbstractItemModel;
class QObject;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;
class QWidget;

namespace rankmoth::shell {

// The tables of the history page: what their models hold and how they are put under their views.

// The role the tables sort by: places by position, misses after every place.
inline constexpr int kHistorySortRole = Qt::UserRole + 1;

// A read-only table of single selected rows, sorted by clicking its header.
QTableView* NewHistoryTable(QWidget* parent, const char* name, QAbstractItemModel* model);

// The item table's model (HistoryPage::Column), empty, and one row per item of a shop.
QStandardItemModel* NewItemModel(QObject* parent);
void AppendItemRows(QStandardItemModel* model, const std::vector<history::ItemSummary>& summaries);

// The sorts side by side: an item's latest place under each sort and how they disagree.
QStandardItemModel* NewCrossModel(QObject* parent);
void AppendCrossRows(QStandardItemModel* model, const std::vector<history::CrossSortRow>& rows);

// Puts a freshly filled model under a view (through `proxy` when there is one), keeping the column widths
// and the sort the user chose.
void SwapModel(QTableView* view, QAbstractItemModel* fresh, QSortFilterProxyModel* proxy);

} // namespace rankmoth::shell
