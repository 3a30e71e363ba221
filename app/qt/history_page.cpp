#include "app/qt/history_page.h"

#include "app/history_view.h"
#include "app/qt/history_controller.h"
#include "app/qt/history_models.h"
#include "app/qt/position_chart.h"
#include "app/qt/shop_compare_view.h"
#include "app/qt/zone_timeline.h"
#include "history/history_report.h"
#include "history/shop_comparison.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>

namespace rankmoth::shell {

namespace {
QString U(const std::string& utf8) {
    return QString::fromStdString(utf8);
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
    runAlerts_ = new QLabel(this);
    runAlerts_->setObjectName("标签_监视提醒");
    runAlerts_->setVisible(false);
    shopChoice_ = new QComboBox(this);
    shopChoice_->setObjectName("组合框_历史优店");
    shopChoice_->setAccessibleName(QString::fromUtf8("历史中的优店"));
    shopChoice_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(shopChoice_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (fillingShops_ || index < 0)
            return;
        const std::string picked = shopChoice_->itemText(index).toStdString();
        pickedShop_ = picked == TypedShop() ? std::string() : picked;
        Refresh();
    });
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
    proxy_->setSortRole(kHistorySortRole);
    proxy_->setFilterKeyColumn(-1);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    table_ = NewHistoryTable(this, "表格_排名历史", proxy_);
    const int widths[kColumns] = {76, 120, 62, 38, 62, 38, 62, 38, 62, 72};
    for (int c = 0; c < kColumns; ++c)
        table_->setColumnWidth(c, widths[c]);
    table_->sortByColumn(kId, Qt::AscendingOrder);

    timeline_ = new ZoneTimeline;
    timelineScroll_ = new QScrollArea;
    timelineScroll_->setObjectName("滚动区_区位时间线");
    timelineScroll_->setWidget(timeline_);
    timelineScroll_->setWidgetResizable(false);
    timelineScroll_->setFrameShape(QFrame::NoFrame);

    chart_ = new PositionChart;

    cross_ = NewCrossModel(this);
    crossTable_ = NewHistoryTable(nullptr, "表格_跨排序", cross_);
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
    views_->addTab(timelineScroll_, QString::fromUtf8("区位时间线"));
    views_->addTab(chart_, QString::fromUtf8("排名曲线"));
    views_->addTab(crossTable_, QString::fromUtf8("三种排序对比"));
    compare_ = new ShopCompareView;
    views_->addTab(compare_, QString::fromUtf8("店铺对比"));
    // Beside the views' tabs, where the row of tabs leaves room; the row above is full.
    if (!ownWindow)
        views_->setCornerWidget(openWindow_, Qt::TopRightCorner);

    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(shopLabel_);
    top->addWidget(shopChoice_);
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
    layout->addWidget(runAlerts_);
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
    QObject::connect(views_, &QTabWidget::currentChanged, this, [this] {
        if (compareStale_ && views_->currentWidget() == compare_)
            FillComparison();
    });

    chooseExportFile = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, QString::fromUtf8("导出排名历史"), suggested,
                                            QString::fromUtf8("CSV 文件 (*.csv)"));
    };
    confirm = [this](const QString& question) {
        return QMessageBox::question(this, QString::fromUtf8("排名历史"), question) == QMessageBox::Yes;
    };
    warn = [this](const QString& text) { QMessageBox::warning(this, QString::fromUtf8("排名历史"), text); };
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

std::string HistoryPage::TypedShop() const {
    std::string shop = shopField_ ? shopField_() : std::string();
    return shop.empty() ? controller_.lastShop() : shop;
}

std::string HistoryPage::CurrentShop() const {
    return pickedShop_.empty() ? TypedShop() : pickedShop_;
}

void HistoryPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A shop typed anew while another page was in front is the one the seller comes to see, whatever was
    // picked here before.
    if (TypedShop() != typedShop_) {
        typedShop_ = TypedShop();
        pickedShop_.clear();
    }
    if (stale_ || CurrentShop() != shownShop_)
        Refresh();
}

void HistoryPage::ShowRunAlerts(history::Store* store) {
    const auto run = store ? store->LatestRun().value_or(std::nullopt) : std::nullopt;
    if (!run || run->alertText.empty()) {
        runAlerts_->setVisible(false);
        return;
    }
    const QString text = U(run->alertText);
    runAlerts_->setText(QString::fromUtf8("监视运行 %1 的提醒: %2")
                            .arg(U(app::ShortLocalTime(run->started)), text.section('\n', 0, 0)));
    runAlerts_->setToolTip(text);
    runAlerts_->setVisible(true);
}

void HistoryPage::FillShopChoice(history::Store* store, const std::string& shown) {
    fillingShops_ = true;
    shopChoice_->clear();
    std::vector<std::string> shops = store ? store->Shops().value_or({}) : std::vector<std::string>();
    for (const std::string& shop : {TypedShop(), shown}) {
        if (!shop.empty() && std::find(shops.begin(), shops.end(), shop) == shops.end())
            shops.insert(shops.begin(), shop);
    }
    for (const std::string& shop : shops)
        shopChoice_->addItem(U(shop));
    shopChoice_->setCurrentIndex(shopChoice_->findText(U(shown)));
    shopChoice_->setVisible(shops.size() > 1);
    fillingShops_ = false;
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
    compareStale_ = true;
    if (views_->currentWidget() == compare_)
        FillComparison();
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
    FillShopChoice(store, shop);
    ShowRunAlerts(store);
    if (!store) {
        shopLabel_->setText(shop.empty() ? QString::fromUtf8("未选优店") : QString::fromUtf8("历史不可用"));
        swapIn();
        ShowItem({});
        return;
    }

    const auto summaries = store->ItemSummaries(shop).value_or({});
    AppendItemRows(items, summaries);
    const QString shown = QString::fromUtf8("优店 %1 · %2个").arg(U(shop)).arg(summaries.size());
    // Beside the list of shops, which names the shop, the row has no room for it twice: the filter would be
    // squeezed to nothing.
    shopLabel_->setText(shopChoice_->isHidden() ? shown : QString::fromUtf8("优店"));
    shopLabel_->setToolTip(shown);
    AppendCrossRows(cross, history::CrossSort(summaries));
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
    timeline_->setRows(history::BuildTimeline(timeline));
    // The latest passes are the ones the seller came to see.
    timelineScroll_->horizontalScrollBar()->setValue(timelineScroll_->horizontalScrollBar()->maximum());
    chart_->setTimeline(timeline, store != nullptr);
    exportItem_->setEnabled(!itemId.isEmpty());
    deleteItem_->setEnabled(!itemId.isEmpty());
}

void HistoryPage::FillComparison() {
    compareStale_ = false;
    const std::string shop = CurrentShop();
    history::Store* store = shop.empty() ? nullptr : controller_.Store();
    if (!store) {
        compare_->setHint(shop.empty() ? QString::fromUtf8("未选优店") : QString::fromUtf8("历史不可用"));
        return;
    }
    auto compared = history::CompareShops(*store, shop, history::Period{});
    if (compared.ok())
        compare_->setListings(std::move(compared).value());
    else
        compare_->setHint(QString::fromUtf8("无法读取排名历史:\n%1").arg(U(compared.error())));
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
    // Written beside the chosen file and put in its place only once complete: a failed read or write leaves
    // no half a file, and a file of that name keeps what it held.
    const std::filesystem::path target(QFile::encodeName(path).toStdString());
    std::filesystem::path partial = target;
    partial += ".part";
    base::Result<void> read;
    bool readAll = true;
    bool wroteAll = false;
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (out) {
            read = history::WriteExportCsv(*store, shop, item.toStdString(), out, true);
            const bool streamed = out.good();
            out.close();
            wroteAll = streamed && !out.fail();
            // A stream that failed stopped the reading too; the store is not to blame.
            readAll = read.ok() || !streamed;
        }
    }
    std::error_code ec;
    if (readAll && wroteAll)
        std::filesystem::rename(partial, target, ec);
    if (!readAll || !wroteAll || ec) {
        std::filesystem::remove(partial, ec);
        if (warn)
            warn(readAll ? QString::fromUtf8("无法写入文件:\n%1").arg(path)
                         : QString::fromUtf8("无法读取排名历史:\n%1").arg(U(read.error())));
        return false;
    }
    return true;
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
