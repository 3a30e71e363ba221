#pragma once

#include "history/history_store.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSortFilterProxyModel;
class QSpinBox;
class QStandardItemModel;
class QTableView;
class QTabWidget;

namespace rankmoth::shell {

class HistoryController;
class PositionChart;
class ShopCompareView;
class ZoneTimeline;

// The "排名历史" page: the current shop's items with their latest place under each sort, and for the selected
// item its zone timeline and position chart; the sorts side by side; the shop's share of a watch's
// listings beside the shops it was watched with; export and deletion.
class HistoryPage : public QWidget {
public:
    // `shopField` reads the shop ID the window is set to (UTF-8), empty when none. A page that fills a window
    // of its own (`ownWindow`) spreads its columns and has no button to open another.
    HistoryPage(HistoryController& controller, std::function<std::string()> shopField, QWidget* parent = nullptr,
                bool ownWindow = false);
    ~HistoryPage() override;
    HistoryPage(const HistoryPage&) = delete;
    HistoryPage& operator=(const HistoryPage&) = delete;

    // Reads the current shop again, keeping the selected item.
    void Refresh();
    // A pass of `shop` was recorded: the page follows at once when shown, otherwise when next shown.
    void PassRecorded(const std::string& shop);
    // The shop shown: the one picked from the page's list of shops, else the window's shop field, else the
    // shop of the latest pass.
    std::string CurrentShop() const;
    // Every shop the history holds, and the typed one; picking one shows it until the typed shop changes.
    QComboBox* shopChoice() const { return shopChoice_; }
    // The alerts of the latest unattended run, whichever front end ran it; hidden when it had none.
    QLabel* runAlerts() const { return runAlerts_; }
    void SelectItem(const QString& itemId);
    // Writes the CSV of the whole shop or of the selected item to a file the user chooses; false when nothing
    // was written. A failed read of the store or write of the file is said (warn) and leaves no file behind.
    bool ExportCsv(bool wholeShop);
    bool DeleteSelectedItem();
    bool DeleteShop();
    // The same page in a resizable window of its own, on the same item; the open one is brought forward
    // instead of a second. The window belongs to this page's window and closes with it.
    QWidget* OpenInWindow();
    QWidget* openedWindow() const { return window_; }
    // Where the export dialog opens: the documents folder, else the home folder. Never the current directory,
    // which for a program started from a menu is wherever the desktop was.
    static QString ExportFolder();

    // Services that leave the page; tests replace them.
    std::function<QString(const QString& suggestedName)> chooseExportFile;
    std::function<bool(const QString& question)> confirm;
    std::function<void(const QString& text)> warn;

    QStandardItemModel* itemModel() const { return items_; }
    QSortFilterProxyModel* itemProxy() const { return proxy_; }
    QStandardItemModel* crossSortModel() const { return cross_; }
    ZoneTimeline* timeline() const { return timeline_; }
    ShopCompareView* comparison() const { return compare_; }

    // Columns of the item table.
    enum Column { kId, kTitle, kPop, kPopChange, kHot, kHotChange, kNew, kNewChange, kBest, kLastChecked, kColumns };

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::string TypedShop() const;
    void FillShopChoice(history::Store* store, const std::string& shown);
    void ShowRunAlerts(history::Store* store);
    QString SelectedItem() const;
    void ShowItem(const QString& itemId);
    void FillComparison();

    HistoryController& controller_;
    std::function<std::string()> shopField_;
    bool stale_ = true;
    std::string shownShop_;
    QLabel* shopLabel_;
    QLabel* runAlerts_;
    QComboBox* shopChoice_;
    // Empty while the page follows the typed shop.
    std::string pickedShop_;
    std::string typedShop_;
    bool fillingShops_ = false;
    QLineEdit* filter_;
    QSpinBox* alertPages_;
    QPushButton* exportShop_;
    QPushButton* exportItem_;
    QPushButton* deleteItem_;
    QPushButton* deleteShop_;
    QPushButton* openWindow_;
    QPointer<QWidget> window_;
    QStandardItemModel* items_;
    QSortFilterProxyModel* proxy_;
    QTableView* table_;
    QTabWidget* views_;
    ZoneTimeline* timeline_;
    QScrollArea* timelineScroll_;
    PositionChart* chart_;
    QStandardItemModel* cross_;
    QTableView* crossTable_;
    ShopCompareView* compare_;
    // The comparison reads every pass of every shop watched with this one: it is read when its tab is shown,
    // not on every refresh behind another tab.
    bool compareStale_ = true;
};

} // namespace rankmoth::shell
