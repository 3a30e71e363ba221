#include "app/qt/history_models.h"

#include "app/history_view.h"
#include "app/qt/history_page.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>

namespace rankmoth::shell {

namespace {
QString U(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QStandardItem* Cell(const QString& text, const QVariant& key) {
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    item->setData(key, kHistorySortRole);
    return item;
}

QStandardItem* PlaceCell(const history::SortStanding& s) {
    auto* cell = Cell(s.checked ? U(history::PlaceLabel(s.state, s.page, s.slice)) : QString(), app::PlaceSortKey(s));
    if (s.checked && s.state == base::ItemState::Incomplete)
        cell->setForeground(QColor(0x80, 0x80, 0x80));
    return cell;
}

QStandardItem* ChangeCell(const history::SortStanding& s) {
    const std::string text = app::ChangeText(s);
    auto* cell = Cell(U(text), text.empty() ? 0 : s.change);
    if (!text.empty() && s.change != 0)
        cell->setForeground(s.change > 0 ? QColor(0x1e, 0x8e, 0x3e) : QColor(0xd0, 0x30, 0x30));
    cell->setTextAlignment(Qt::AlignCenter);
    return cell;
}
} // namespace

QTableView* NewHistoryTable(QWidget* parent, const char* name, QAbstractItemModel* model) {
    auto* table = new QTableView(parent);
    table->setObjectName(QString::fromUtf8(name));
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setSortingEnabled(true);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(20);
    table->horizontalHeader()->setHighlightSections(false);
    table->setWordWrap(false);
    return table;
}

QStandardItemModel* NewItemModel(QObject* parent) {
    auto* model = new QStandardItemModel(0, HistoryPage::kColumns, parent);
    model->setHorizontalHeaderLabels(
        {"宝贝ID", "标题", "潮流", "变化", "最热", "变化", "最新", "变化", "最好", "最后查询"});
    return model;
}

void AppendItemRows(QStandardItemModel* model, const std::vector<history::ItemSummary>& summaries) {
    for (const history::ItemSummary& s : summaries) {
        QList<QStandardItem*> row;
        row << Cell(U(s.itemId), U(s.itemId)) << Cell(U(s.title), U(s.title));
        for (const history::SortStanding& standing : s.sorts)
            row << PlaceCell(standing) << ChangeCell(standing);
        row << Cell(U(app::BestPlaceText(s.bestPosition)), s.bestPosition > 0 ? s.bestPosition : app::kUnplacedSortKey)
            << Cell(U(app::ShortLocalTime(s.lastChecked)), U(s.lastChecked));
        row[HistoryPage::kTitle]->setToolTip(U(s.title));
        if (s.bestPosition > 0)
            row[HistoryPage::kBest]->setToolTip(QString::fromUtf8("第 %1 位").arg(s.bestPosition));
        model->appendRow(row);
    }
}

QStandardItemModel* NewCrossModel(QObject* parent) {
    auto* model = new QStandardItemModel(0, 6, parent);
    model->setHorizontalHeaderLabels({"宝贝ID", "标题", "潮流", "最热", "最新", "分歧"});
    model->setSortRole(kHistorySortRole);
    return model;
}

void AppendCrossRows(QStandardItemModel* model, const std::vector<history::CrossSortRow>& rows) {
    for (const history::CrossSortRow& c : rows) {
        QList<QStandardItem*> row;
        row << Cell(U(c.itemId), U(c.itemId)) << Cell(U(c.title), U(c.title));
        for (const history::SortStanding& standing : c.sorts)
            row << PlaceCell(standing);
        const history::Disagreement disagreement = history::DisagreementOf(c.sorts);
        const bool disagree = !disagreement.cell.empty();
        row << Cell(U(disagreement.cell), disagree ? 1 : 0);
        if (disagree) {
            row.back()->setToolTip(U(disagreement.tip));
            for (QStandardItem* cell : row)
                cell->setBackground(QColor(0xff, 0xe8, 0xe0));
        }
        model->appendRow(row);
    }
}

void SwapModel(QTableView* view, QAbstractItemModel* fresh, QSortFilterProxyModel* proxy) {
    QHeaderView* header = view->horizontalHeader();
    std::vector<int> widths;
    for (int c = 0; c < header->count(); ++c)
        widths.push_back(header->sectionSize(c));
    const int column = header->sortIndicatorSection();
    const Qt::SortOrder order = header->sortIndicatorOrder();
    if (proxy) {
        proxy->setSourceModel(fresh);
    } else {
        QItemSelectionModel* old = view->selectionModel();
        view->setModel(fresh);
        delete old;
    }
    for (std::size_t c = 0; c < widths.size(); ++c)
        view->setColumnWidth(static_cast<int>(c), widths[c]);
    view->sortByColumn(column, order);
}

} // namespace rankmoth::shell
