#include "app/qt/history_page.h"

#include "app/history_view.h"
#include "app/qt/history_controller.h"
#include "app/qt/qt_controls.h"
#include "app/qt/zone_timeline.h"
#include "history/history_report.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QScatterSeries>
#include <QScrollArea>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <fstream>
#include <utility>

namespace rankmoth::shell {

namespace {
constexpr int kSortKey = Qt::UserRole + 1;
// Sort keys that put every kind of miss after every place, misses before unknowns, and never-checked last.
constexpr int kMissKey = 1000000;

QString U(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QStandardItem* Cell(const QString& text, const QVariant& key) {
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    item->setData(key, kSortKey);
    return item;
}

QStandardItem* PlaceCell(const history::SortStanding& s) {
    if (!s.checked)
        return Cell(QString(), kMissKey + 3);
    const int position = s.position();
    const int key = position > 0 ? position : s.state == base::ItemState::NotFound ? kMissKey : kMissKey + 1;
    auto* cell = Cell(U(history::PlaceLabel(s.state, s.page, s.slice)), key);
    if (s.state == base::ItemState::Incomplete)
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

QString BestText(int position) {
    if (position <= 0)
        return {};
    return U(history::PlaceLabel(base::ItemState::Found, (position - 1) / 10 + 1, (position - 1) % 10 + 1));
}

QTableView* NewTable(QWidget* parent, const char* name, QAbstractItemModel* model) {
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

QStandardItemModel* NewCrossModel(QObject* parent) {
    auto* model = new QStandardItemModel(0, 6, parent);
    model->setHorizontalHeaderLabels({"宝贝ID", "标题", "潮流", "最热", "最新", "分歧"});
    model->setSortRole(kSortKey);
    return model;
}

// Puts a freshly filled model under a view, keeping the column widths and the sort the user chose.
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

QPushButton* NewButton(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setAutoDefault(false);
    return button;
}
} // namespace

HistoryPage::HistoryPage(HistoryController& controller, std::function<std::string()> shopField, QWidget* parent,
                         bool ownWindow)
    : QWidget(parent), controller_(controller), shopField_(std::move(shopField)) {
    setObjectName("排名历史");

    shopLabel_ = new QLabel(this);
    shopLabel_->setObjectName("标签_历史优店");
    filter_ = new QLineEdit(this);
    filter_->setObjectName("编辑框_历史筛选");
    filter_->setPlaceholderText(QString::fromUtf8("筛选ID或标题"));
    filter_->setClearButtonEnabled(true);
    auto* alertLabel = new QLabel(QString::fromUtf8("提醒:移动≥"), this);
    alertPages_ = new QSpinBox(this);
    alertPages_->setObjectName("调节框_提醒页数");
    alertPages_->setAccessibleName(QString::fromUtf8("变动提醒页数"));
    alertPages_->setRange(1, 99);
    alertPages_->setSuffix(QString::fromUtf8("页"));
    alertPages_->setValue(controller_.alertPages());
    exportShop_ = NewButton(this, "按钮_导出全店历史", "导出全店");
    exportItem_ = NewButton(this, "按钮_导出宝贝历史", "导出宝贝");
    deleteItem_ = NewButton(this, "按钮_删除宝贝历史", "删除宝贝");
    deleteShop_ = NewButton(this, "按钮_删除全店历史", "删除全店");
    openWindow_ = NewButton(this, "按钮_历史新窗口", "在新窗口中打开");
    openWindow_->setVisible(!ownWindow);

    items_ = NewItemModel(this);
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(items_);
    proxy_->setSortRole(kSortKey);
    proxy_->setFilterKeyColumn(-1);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    table_ = NewTable(this, "表格_排名历史", proxy_);
    const int widths[kColumns] = {76, 120, 62, 38, 62, 38, 62, 38, 62, 72};
    for (int c = 0; c < kColumns; ++c)
        table_->setColumnWidth(c, widths[c]);
    table_->sortByColumn(kId, Qt::AscendingOrder);

    timeline_ = new ZoneTimeline;
    auto* timelineScroll = new QScrollArea;
    timelineScroll->setObjectName("滚动区_区位时间线");
    timelineScroll->setWidget(timeline_);
    timelineScroll->setWidgetResizable(false);
    timelineScroll->setFrameShape(QFrame::NoFrame);

    chart_ = new QChartView;
    chart_->setObjectName("图表_排名曲线");
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->setChart(new QChart);

    cross_ = NewCrossModel(this);
    crossTable_ = NewTable(nullptr, "表格_跨排序", cross_);
    const int crossWidths[] = {76, 130, 74, 74, 74, 100};
    for (int c = 0; c < 6; ++c)
        crossTable_->setColumnWidth(c, crossWidths[c]);
    crossTable_->sortByColumn(0, Qt::AscendingOrder);
    if (ownWindow) {
        // A window of its own has the room the tab lacks: places and times at their full width, titles in
        // whatever the window gives.
        for (const int c : {kPop, kHot, kNew, kBest})
            table_->setColumnWidth(c, 76);
        table_->setColumnWidth(kLastChecked, 96);
        table_->horizontalHeader()->setSectionResizeMode(kTitle, QHeaderView::Stretch);
        crossTable_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    }

    views_ = new QTabWidget(this);
    views_->setObjectName("选择夹_历史视图");
    views_->setDocumentMode(true);
    views_->addTab(timelineScroll, QString::fromUtf8("区位时间线"));
    views_->addTab(chart_, QString::fromUtf8("排名曲线"));
    views_->addTab(crossTable_, QString::fromUtf8("三种排序对比"));
    // Beside the views' tabs, where the row of tabs leaves room; the row above is full.
    if (!ownWindow)
        views_->setCornerWidget(openWindow_, Qt::TopRightCorner);

    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(shopLabel_);
    top->addWidget(filter_, 1);
    top->addWidget(alertLabel);
    top->addWidget(alertPages_);
    for (QPushButton* b : {exportShop_, exportItem_, deleteItem_, deleteShop_}) {
        b->setFixedWidth(58);
        top->addWidget(b);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(table_, 5);
    layout->addWidget(views_, 6);

    QObject::connect(filter_, &QLineEdit::textChanged, this,
                     [this](const QString& text) { proxy_->setFilterFixedString(text); });
    QObject::connect(alertPages_, &QSpinBox::valueChanged, this,
                     [this](int pages) { controller_.setAlertPages(pages); });
    QObject::connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                     [this] { ShowItem(SelectedItem()); });
    QObject::connect(exportShop_, &QPushButton::clicked, this, [this] { ExportCsv(true); });
    QObject::connect(exportItem_, &QPushButton::clicked, this, [this] { ExportCsv(false); });
    QObject::connect(deleteItem_, &QPushButton::clicked, this, [this] { DeleteSelectedItem(); });
    QObject::connect(deleteShop_, &QPushButton::clicked, this, [this] { DeleteShop(); });
    QObject::connect(openWindow_, &QPushButton::clicked, this, [this] { OpenInWindow(); });

    chooseExportFile = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, QString::fromUtf8("导出排名历史"), suggested,
                                            QString::fromUtf8("CSV 文件 (*.csv)"));
    };
    confirm = [this](const QString& question) {
        return QMessageBox::question(this, QString::fromUtf8("排名历史"), question) == QMessageBox::Yes;
    };
    controller_.AddPage(this);
}

HistoryPage::~HistoryPage() {
    controller_.RemovePage(this);
}

QString HistoryPage::ExportFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

QWidget* HistoryPage::OpenInWindow() {
    if (window_) {
        window_->showNormal();
        window_->raise();
        window_->activateWindow();
        return window_;
    }
    // A window of the main window's, not one on its own: the main window is modal, and would block every
    // window that is not its own.
    auto* window = new QWidget(this->window(), Qt::Window);
    window->setObjectName("排名历史窗口");
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QString::fromUtf8("排名历史 - Rankmoth"));
    auto* twin = new HistoryPage(controller_, shopField_, window, true);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(twin);
    window->setMinimumSize(564, 420);
    window->resize(960, 680);
    const QString item = SelectedItem();
    window->show();
    if (!item.isEmpty())
        twin->SelectItem(item);
    window_ = window;
    return window;
}

std::string HistoryPage::CurrentShop() const {
    std::string shop = shopField_ ? shopField_() : std::string();
    return shop.empty() ? controller_.lastShop() : shop;
}

void HistoryPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The shop field may have changed while another page was in front.
    if (stale_ || CurrentShop() != shownShop_)
        Refresh();
}

void HistoryPage::PassRecorded(const std::string&) {
    if (isVisible())
        Refresh();
    else
        stale_ = true;
}

QString HistoryPage::SelectedItem() const {
    const QModelIndex current = table_->selectionModel()->currentIndex();
    return current.isValid() ? proxy_->index(current.row(), kId).data().toString() : QString();
}

void HistoryPage::SelectItem(const QString& itemId) {
    const QModelIndexList hits = proxy_->match(proxy_->index(0, kId), Qt::DisplayRole, itemId, 1, Qt::MatchExactly);
    if (hits.isEmpty())
        return;
    table_->selectionModel()->setCurrentIndex(hits.front(),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    table_->scrollTo(hits.front());
}

void HistoryPage::Refresh() {
    stale_ = false;
    const QString keep = SelectedItem();
    const std::string shop = CurrentShop();
    shownShop_ = shop;
    // Filled while no view or proxy listens, then swapped in: a listened-to model maps and sorts every row as
    // it arrives, which on a shop of thousands of items costs far more than reading the store.
    auto* items = NewItemModel(this);
    auto* cross = NewCrossModel(this);
    const auto swapIn = [&] {
        SwapModel(table_, items, proxy_);
        delete std::exchange(items_, items);
        SwapModel(crossTable_, cross, nullptr);
        delete std::exchange(cross_, cross);
    };
    history::Store* store = shop.empty() ? nullptr : controller_.Store();
    if (!store) {
        shopLabel_->setText(shop.empty() ? QString::fromUtf8("未选优店") : QString::fromUtf8("历史不可用"));
        swapIn();
        ShowItem({});
        return;
    }

    const auto summaries = store->ItemSummaries(shop).value_or({});
    for (const history::ItemSummary& s : summaries) {
        QList<QStandardItem*> row;
        row << Cell(U(s.itemId), U(s.itemId)) << Cell(U(s.title), U(s.title));
        for (const history::SortStanding& standing : s.sorts)
            row << PlaceCell(standing) << ChangeCell(standing);
        row << Cell(BestText(s.bestPosition), s.bestPosition > 0 ? s.bestPosition : kMissKey)
            << Cell(U(app::ShortLocalTime(s.lastChecked)), U(s.lastChecked));
        row[kTitle]->setToolTip(U(s.title));
        if (s.bestPosition > 0)
            row[kBest]->setToolTip(QString::fromUtf8("第 %1 位").arg(s.bestPosition));
        items->appendRow(row);
    }
    shopLabel_->setText(QString::fromUtf8("优店 %1 · %2个").arg(U(shop)).arg(summaries.size()));

    for (const history::CrossSortRow& c : history::CrossSort(summaries)) {
        QList<QStandardItem*> row;
        row << Cell(U(c.itemId), U(c.itemId)) << Cell(U(c.title), U(c.title));
        for (const history::SortStanding& standing : c.sorts)
            row << PlaceCell(standing);
        const app::Disagreement disagreement = app::DisagreementOf(c.sorts);
        const bool disagree = !disagreement.cell.empty();
        row << Cell(U(disagreement.cell), disagree ? 1 : 0);
        if (disagree) {
            row.back()->setToolTip(U(disagreement.tip));
            for (QStandardItem* cell : row)
                cell->setBackground(QColor(0xff, 0xe8, 0xe0));
        }
        cross->appendRow(row);
    }
    swapIn();

    if (!keep.isEmpty())
        SelectItem(keep);
    if (SelectedItem().isEmpty() && proxy_->rowCount() > 0)
        table_->selectionModel()->setCurrentIndex(proxy_->index(0, kId),
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    else
        ShowItem(SelectedItem());
}

void HistoryPage::ShowItem(const QString& itemId) {
    const std::string shop = CurrentShop();
    history::Store* store = itemId.isEmpty() || shop.empty() ? nullptr : controller_.Store();
    const history::ItemTimeline timeline =
        store ? store->Timeline(shop, itemId.toStdString()).value_or({}) : history::ItemTimeline{};
    timeline_->setRows(app::BuildTimeline(timeline));
    if (auto* scroll =
            qobject_cast<QScrollArea*>(timeline_->parentWidget() ? timeline_->parentWidget()->parentWidget() : nullptr))
        scroll->horizontalScrollBar()->setValue(scroll->horizontalScrollBar()->maximum());
    FillChart(timeline, store != nullptr);
    exportItem_->setEnabled(!itemId.isEmpty());
    deleteItem_->setEnabled(!itemId.isEmpty());
}

void HistoryPage::FillChart(const history::ItemTimeline& timeline, bool any) {
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    if (!any) {
        chart_->setChart(chart);
        return;
    }

    std::vector<app::ChartPlan> plans;
    int worst = 0;
    qint64 first = 0, last = 0;
    for (const auto& points : timeline.sorts) {
        plans.push_back(app::PlanPositionChart(points));
        worst = std::max(worst, plans.back().worst);
    }
    // Misses and unknowns sit on a band just below the worst place: off the line, never read as a position.
    const int band = worst + std::max(2, worst / 8);
    const auto ms = [](base::Clock::time_point at) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    };
    const auto span = [&](qint64 t) {
        first = first == 0 ? t : std::min(first, t);
        last = std::max(last, t);
    };
    auto* notFound = new QScatterSeries;
    notFound->setName(QString::fromUtf8("未找到"));
    notFound->setMarkerSize(7);
    notFound->setColor(QColor(0xa0, 0xa0, 0xa0));
    notFound->setBorderColor(QColor(0xa0, 0xa0, 0xa0));
    auto* incomplete = new QScatterSeries;
    incomplete->setName(QString::fromUtf8("未查完"));
    incomplete->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    incomplete->setMarkerSize(8);
    incomplete->setBrush(QBrush(QColor(0x70, 0x70, 0x70), Qt::BDiagPattern));
    incomplete->setBorderColor(QColor(0x70, 0x70, 0x70));

    std::vector<QAbstractSeries*> series;
    for (std::size_t s = 0; s < plans.size(); ++s) {
        bool named = false;
        for (const auto& run : plans[s].runs) {
            // A run of one pass still needs a mark: a line of one point draws nothing.
            auto* line = new QLineSeries;
            line->setColor(QtControls::FromColour(base::kSortTable[s].chart));
            line->setPointsVisible(true);
            for (const app::ChartPoint& p : run) {
                line->append(static_cast<qreal>(ms(p.at)), p.position);
                span(ms(p.at));
            }
            line->setName(U(std::string(base::kSortTable[s].label)));
            if (named)
                line->setProperty("continued", true);
            named = true;
            series.push_back(line);
        }
        for (const app::ChartPoint& p : plans[s].notFound) {
            notFound->append(static_cast<qreal>(ms(p.at)), band);
            span(ms(p.at));
        }
        for (const app::ChartPoint& p : plans[s].incomplete) {
            incomplete->append(static_cast<qreal>(ms(p.at)), band);
            span(ms(p.at));
        }
    }
    series.push_back(notFound);
    series.push_back(incomplete);

    auto* x = new QDateTimeAxis;
    x->setFormat("MM-dd HH:mm");
    x->setTickCount(4);
    if (first > 0)
        x->setRange(QDateTime::fromMSecsSinceEpoch(first - 60000), QDateTime::fromMSecsSinceEpoch(last + 60000));
    auto* y = new QValueAxis;
    y->setReverse(true);
    const app::PositionAxis plan = app::PlanPositionAxis(band);
    y->setRange(plan.top, plan.bottom);
    // Ticks from position 1 on whole steps: evenly spread ticks would fall between positions, and "%d" would
    // print them as places the line never had.
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(1);
    y->setTickInterval(plan.step);
    y->setMinorTickCount(0);
    y->setLabelFormat("%d");
    y->setTitleText(QString::fromUtf8("位置"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : series) {
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    }
    // One legend entry per sort, not per run; no entry for a kind of point that is absent.
    for (QLegendMarker* marker : chart->legend()->markers()) {
        QAbstractSeries* owner = marker->series();
        const auto* scatter = qobject_cast<QScatterSeries*>(owner);
        if (owner->property("continued").toBool() || (scatter && scatter->count() == 0))
            marker->setVisible(false);
    }
    chart_->setChart(chart);
}

bool HistoryPage::ExportCsv(bool wholeShop) {
    const std::string shop = CurrentShop();
    const QString item = wholeShop ? QString() : SelectedItem();
    if (shop.empty() || (!wholeShop && item.isEmpty()))
        return false;
    history::Store* store = controller_.Store();
    if (!store)
        return false;
    const QString suggested =
        QDir(ExportFolder())
            .filePath(QString("rankmoth-%1%2.csv").arg(U(shop), item.isEmpty() ? QString() : "-" + item));
    const QString path = chooseExportFile ? chooseExportFile(suggested) : QString();
    if (path.isEmpty())
        return false;
    std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary | std::ios::trunc);
    const base::Result<void> written = history::WriteExportCsv(*store, shop, item.toStdString(), out, true);
    out.close();
    if (!out) {
        QMessageBox::warning(this, QString::fromUtf8("排名历史"), QString::fromUtf8("无法写入文件:\n%1").arg(path));
        return false;
    }
    if (!written)
        controller_.ReportFailure(written.error());
    return written.ok();
}

bool HistoryPage::DeleteSelectedItem() {
    const std::string shop = CurrentShop();
    const QString item = SelectedItem();
    history::Store* store = shop.empty() || item.isEmpty() ? nullptr : controller_.Store();
    if (!store || !confirm || !confirm(QString::fromUtf8("删除宝贝 %1 的全部排名历史?\n此操作无法撤销。").arg(item)))
        return false;
    const base::Result<void> done = store->DeleteItem(shop, item.toStdString());
    if (!done)
        controller_.ReportFailure(done.error());
    Refresh();
    return done.ok();
}

bool HistoryPage::DeleteShop() {
    const std::string shop = CurrentShop();
    history::Store* store = shop.empty() ? nullptr : controller_.Store();
    if (!store || !confirm || !confirm(QString::fromUtf8("删除优店 %1 的全部排名历史?\n此操作无法撤销。").arg(U(shop))))
        return false;
    const base::Result<void> done = store->DeleteShop(shop);
    if (!done)
        controller_.ReportFailure(done.error());
    Refresh();
    return done.ok();
}

} // namespace rankmoth::shell
