#include "app/qt/window_design.h"

#include "app/qt/assets.h"
#include "base/control_names.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>

namespace rankmoth::shell {

namespace {
namespace mw = base::names::main_window;
namespace uw = base::names::update_window;
constexpr const char* kYaHei = "微软雅黑";
constexpr const char* kSimSun = "宋体";
// The tab control's pages, as TabControl names them.
const std::string kPage0Name = std::string(mw::kTabs) + "#0";
const std::string kPage1Name = std::string(mw::kTabs) + "#1";
const char* const kPage0 = kPage0Name.c_str();
const char* const kPage1 = kPage1Name.c_str();
} // namespace

// clang-format off
const std::vector<ControlDesign>& MainWindowDesign() {
    static const std::vector<ControlDesign> design = {
        {Kind::Tab, mw::kTabs.data(), "操作面板|使用帮助|排名历史", 3, 1, 572, 536},
        // 操作面板
        {Kind::List, mw::kResultList.data(), "序号:50|宝贝ID:70|排名位置:215|最新最热:68|查询时间:130", 4, 23, 564, 232, kPage0, nullptr, -1, "查询结果"},
        {Kind::Label, "标签7", "宝贝ID个数:", 8, 259, 68, 16, kPage0},
        {Kind::Label, mw::kItemCountLabel.data(), "", 79, 259, 38, 16, kPage0},
        {Kind::Label, mw::kProgressLabel.data(), "", 126, 259, 207, 16, kPage0},
        {Kind::CheckBox, mw::kSoundBox.data(), "查到排名后给提示音", 360, 259, 133, 16, kPage0, nullptr, 0x0088FF},
        {Kind::Label, "标签2", "优店ID:", 297, 286, 47, 24, kPage0},
        {Kind::Edit, mw::kShopIdBox.data(), "", 343, 285, 89, 24, kPage0, nullptr, -1, "优店ID"},
        {Kind::Button, mw::kShopLoadButton.data(), "自动加载全店宝贝ID", 440, 282, 120, 28, kPage0},
        {Kind::Label, "标签5", "在线客服:", 8, 288, 55, 16, kPage0, kYaHei},
        {Kind::ImageButton, mw::kSupportButton1.data(), "", 68, 285, 21, 21, kPage0, nullptr, -1, "在线客服1"},
        {Kind::ImageButton, mw::kSupportButton2.data(), "", 101, 285, 21, 21, kPage0, nullptr, -1, "在线客服2"},
        {Kind::ImageButton, mw::kSupportButton3.data(), "", 134, 285, 21, 21, kPage0, nullptr, -1, "在线客服3"},
        {Kind::Hyperlink, mw::kTutorialLink.data(), "--点击->查看使用教程", 165, 288, 120, 16, kPage0},
        {Kind::Label, "标签15", "优先查询:", 8, 322, 55, 16, kPage0, kYaHei},
        {Kind::Radio, mw::kPopRadio.data(), "先查潮流", 69, 324, 72, 16, kPage0},
        {Kind::Radio, mw::kHottestRadio.data(), "先查最热", 145, 324, 72, 16, kPage0},
        {Kind::Radio, mw::kNewestRadio.data(), "先查最新", 222, 324, 72, 16, kPage0},
        {Kind::Label, "标签4", "最多查到第", 298, 323, 71, 16, kPage0},
        {Kind::Edit, mw::kPageLimitBox.data(), "100", 363, 318, 44, 23, kPage0, nullptr, -1, "最多查到第…页"},
        {Kind::Label, "标签6", "页", 411, 323, 17, 16, kPage0},
        {Kind::Button, mw::kImportButton.data(), "导入优店宝贝ID", 462, 319, 98, 28, kPage0},
        {Kind::Label, "标签10", "大分类:", 8, 363, 45, 16, kPage0, kSimSun},
        {Kind::Combo, mw::kCategoryCombo.data(), "衣服|鞋子|包包|配饰|家居|男友", 56, 361, 56, 20, kPage0, nullptr, -1, "大分类"},
        {Kind::Label, "标签11", "小分类ID:", 118, 363, 57, 16, kPage0, kSimSun},
        {Kind::Combo, mw::kSubCategoryCombo.data(), "", 177, 361, 106, 20, kPage0, nullptr, -1, "小分类ID"},
        {Kind::Button, mw::kAddSubCategoryButton.data(), "添加分类", 290, 357, 58, 28, kPage0},
        {Kind::CheckBox, mw::kShopOnlyBox.data(), "只看优店商品", 360, 360, 93, 24, kPage0, nullptr, 0xFF5080},
        {Kind::Button, mw::kOpenButton.data(), "打开", 462, 357, 40, 28, kPage0},
        {Kind::Button, mw::kSaveButton.data(), "保存", 520, 357, 40, 28, kPage0},
        {Kind::Label, "标签16", "查询间隔:", 8, 403, 56, 16, kPage0, kYaHei},
        {Kind::Edit, mw::kIntervalBox.data(), "10", 68, 398, 41, 25, kPage0, nullptr, -1, "查询间隔（分钟）"},
        {Kind::Label, "标签17", "Min", 113, 404, 32, 16, kPage0},
        {Kind::Panel, mw::kMonitorPanel.data(), "", 141, 397, 168, 24, kPage0},
        {Kind::Radio, mw::kAutomaticRadio.data(), "自动监测", 4, 8, 72, 16, mw::kMonitorPanel.data()},
        {Kind::Radio, mw::kManualRadio.data(), "手动查询", 83, 8, 72, 16, mw::kMonitorPanel.data()},
        {Kind::Button, mw::kQueryButton.data(), "查询大类排名", 316, 395, 83, 32, kPage0},
        {Kind::Button, mw::kSubQueryButton.data(), "查询小类排名", 416, 395, 83, 32, kPage0},
        {Kind::Button, mw::kStopButton.data(), "停止", 515, 395, 45, 32, kPage0},
        {Kind::Picture, mw::kForumPicture.data(), "forum", 5, 437, 460, 55, kPage0, nullptr, -1, "Pellwood论坛"},
        {Kind::Picture, mw::kSoftwarePicture.data(), "software", 5, 496, 562, 35, kPage0},
        {Kind::ClickArea, mw::kFernlaneArea.data(), "", 6, 495, 275, 40, kPage0, nullptr, -1, "下载Fernlane软件"},
        {Kind::ClickArea, mw::kTarnbayArea.data(), "", 290, 494, 275, 40, kPage0, nullptr, -1, "下载Tarnbay软件"},
        // 使用帮助
        {Kind::Browser, mw::kHelpBrowser.data(), "qrc:/rankmoth/help.html", 4, 22, 565, 510, kPage1, nullptr, -1, "使用帮助"},
        // Parked beyond the client area: never seen, but the program still writes to them.
        {Kind::Label, "标签1", "关键词:", 592, 62, 45, 16, nullptr, kYaHei},
        {Kind::Edit, mw::kKeywordBox.data(), "", 640, 56, 213, 25, nullptr, nullptr, -1, "关键词"},
        {Kind::Label, mw::kHintLabel.data(), "关键词可以为: 宝贝ID", 593, 91, 200, 16},
        {Kind::Hyperlink, mw::kTitleLink.data(), "--点击->查看宝贝全称", 648, 136, 120, 16},
        {Kind::Button, mw::kParkedStopButton.data(), "停止查询", 480, 735, 75, 28},
    };
    return design;
}

const std::vector<ControlDesign>& UpdateWindowDesign() {
    static const std::vector<ControlDesign> design = {
        {Kind::Picture, uw::kBanner.data(), "update", 8, 11, 270, 40, nullptr, nullptr, -1, nullptr, true},
        {Kind::Label, uw::kDoneLabel.data(), "下载成功", 51, 25, 96, 16, nullptr, nullptr, -1, nullptr, true},
        {Kind::Button, uw::kDownloadButton.data(), "下载", 371, 15, 40, 24},
        {Kind::Label, uw::kFileLabel.data(), "", 11, 52, 328, 16},
        {Kind::Progress, uw::kProgressBar.data(), "", 10, 69, 329, 16, nullptr, nullptr, -1, "下载进度"},
        {Kind::Label, uw::kSizeLabel.data(), "文件大小:", 9, 89, 162, 17},
        {Kind::Label, uw::kDownloadedLabel.data(), "已下载:", 175, 89, 180, 16},
        {Kind::Label, uw::kPathLabel.data(), "下载到:", 8, 106, 337, 16},
        {Kind::Label, uw::kSpeedLabel.data(), "传输速度:", 9, 125, 168, 13},
        {Kind::Label, uw::kAverageLabel.data(), "平均速度:", 175, 125, 160, 12},
        {Kind::Label, uw::kPercentLabel.data(), "已完成:", 10, 140, 96, 16},
        {Kind::Label, uw::kRemainingLabel.data(), "剩余时间:", 176, 139, 143, 16},
        {Kind::List, uw::kModuleList.data(), "模块句柄:80|模块文件名:120|模块路径:180", 720, 158, 392, 234, nullptr, nullptr, -1, "模块", true},
    };
    return design;
}
// clang-format on

QString FontFamilyFor(const QString& designFamily) {
    static const std::map<QString, QString> known = {{kYaHei, "Microsoft YaHei"}, {kSimSun, "SimSun"}};
    const QStringList families = QFontDatabase::families();
    if (!designFamily.isEmpty()) {
        if (families.contains(designFamily))
            return designFamily;
        const auto latin = known.find(designFamily);
        if (latin != known.end() && families.contains(latin->second))
            return latin->second;
    }
    for (const char* fallback : {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Droid Sans Fallback"})
        if (families.contains(fallback))
            return fallback;
    return QFont().family();
}

QFont WindowFont(const QString& designFamily) {
    QFont font(FontFamilyFor(designFamily));
    font.setPixelSize(12);
    return font;
}

// ---- building

namespace {
QWidget* MakeControl(const ControlDesign& d, QWidget* parent) {
    const QString caption = QString::fromUtf8(d.caption ? d.caption : "");
    switch (d.kind) {
    case Kind::Label: {
        auto* label = new QLabel(caption, parent);
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case Kind::Edit:
        return new QLineEdit(caption, parent);
    case Kind::Button:
        return new QPushButton(caption, parent);
    case Kind::CheckBox:
        return new QCheckBox(caption, parent);
    case Kind::Radio:
        return new QRadioButton(caption, parent);
    case Kind::Combo: {
        auto* combo = new QComboBox(parent);
        if (!caption.isEmpty())
            combo->addItems(caption.split('|'));
        combo->setCurrentIndex(-1);
        return combo;
    }
    case Kind::Tab: {
        auto* tabs = new TabControl(parent);
        tabs->setObjectName(QString::fromUtf8(d.name));
        tabs->resize(d.width, d.height);
        for (const QString& title : caption.split('|'))
            tabs->AddPage(title);
        return tabs;
    }
    case Kind::Panel:
        return new QWidget(parent);
    case Kind::Picture: {
        auto* picture = new QLabel(parent);
        picture->setPixmap(BannerImage(caption, QSize(d.width, d.height)));
        picture->setCursor(Qt::PointingHandCursor);
        return picture;
    }
    case Kind::ClickArea: {
        auto* area = new QWidget(parent);
        area->setAttribute(Qt::WA_NoSystemBackground);
        area->setCursor(Qt::PointingHandCursor);
        return area;
    }
    case Kind::ImageButton: {
        auto* button = new QToolButton(parent);
        button->setAutoRaise(true);
        button->setIcon(QIcon(SupportButtonImage()));
        button->setIconSize(QSize(d.width - 4, d.height - 4));
        button->setCursor(Qt::PointingHandCursor);
        return button;
    }
    case Kind::Hyperlink: {
        auto* link = new QLabel(parent);
        link->setTextFormat(Qt::RichText);
        link->setText(QString("<a href=\"#\" style=\"color:#0000ff\">%1</a>").arg(caption.toHtmlEscaped()));
        link->setCursor(Qt::PointingHandCursor);
        link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        link->setProperty("caption", caption);
        return link;
    }
    case Kind::Browser: {
        auto* browser = new QTextBrowser(parent);
        browser->setOpenLinks(false);
        browser->setProperty("reloads", 0);
        if (!caption.isEmpty())
            browser->setSource(QUrl(caption));
        return browser;
    }
    case Kind::List: {
        auto* list = new QTreeWidget(parent);
        list->setRootIsDecorated(false);
        list->setUniformRowHeights(true);
        list->setAllColumnsShowFocus(true);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        QStringList titles;
        std::vector<int> widths;
        for (const QString& column : caption.split('|')) {
            titles << column.section(':', 0, 0);
            widths.push_back(column.section(':', 1, 1).toInt());
        }
        list->setColumnCount(static_cast<int>(titles.size()));
        list->setHeaderLabels(titles);
        list->header()->setStretchLastSection(false);
        for (std::size_t i = 0; i < widths.size(); ++i)
            list->setColumnWidth(static_cast<int>(i), widths[i]);
        return list;
    }
    case Kind::Progress: {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        return bar;
    }
    }
    return new QWidget(parent);
}
} // namespace

void BuildControls(QWidget* window, const std::vector<ControlDesign>& design) {
    std::map<QString, QWidget*> containers;
    std::map<QWidget*, QButtonGroup*> radioGroups;
    for (const ControlDesign& d : design) {
        QWidget* parent = window;
        if (d.parent) {
            const auto found = containers.find(QString::fromUtf8(d.parent));
            if (found != containers.end())
                parent = found->second;
        }
        QWidget* control = MakeControl(d, parent);
        control->setObjectName(QString::fromUtf8(d.name));
        control->setAccessibleDescription(QString::fromUtf8(d.name));
        control->setGeometry(d.x, d.y, d.width, d.height);
        control->setFont(WindowFont(d.font ? QString::fromUtf8(d.font) : QString()));
        // A label is read by its text as it stands at each moment (counts, progress, results, captions with
        // their colon): a fixed name would hide every later write from assistive technology.
        if (d.accessible && d.kind != Kind::Label)
            control->setAccessibleName(QString::fromUtf8(d.accessible));
        else if (d.caption && *d.caption && d.kind != Kind::Picture && d.kind != Kind::Label)
            control->setAccessibleName(QString::fromUtf8(d.caption).remove(':'));
        if (d.colour >= 0) {
            const QColor colour = QColor::fromRgb(static_cast<QRgb>(d.colour));
            QPalette palette = control->palette();
            palette.setColor(QPalette::WindowText, colour);
            palette.setColor(QPalette::ButtonText, colour);
            control->setPalette(palette);
            // A style sheet (the skin) would otherwise override the palette.
            control->setStyleSheet(QString("color: %1;").arg(colour.name()));
        }
        if (d.hidden)
            control->hide();
        if (d.kind == Kind::Radio) {
            // Radio buttons clear each other within their own container only.
            QButtonGroup*& group = radioGroups[parent];
            if (!group) {
                group = new QButtonGroup(parent);
                group->setObjectName(parent->objectName() + "#radios");
            }
            group->addButton(static_cast<QAbstractButton*>(control));
        }
        if (d.kind == Kind::Tab) {
            auto* tabs = static_cast<TabControl*>(control);
            for (int i = 0; i < tabs->count(); ++i)
                containers[tabs->objectName() + "#" + QString::number(i)] = tabs->page(i);
        }
        if (d.kind == Kind::Panel)
            containers[control->objectName()] = control;
    }
}

void SetReadingTabOrder(QWidget* window) {
    std::vector<QWidget*> chain;
    const QRect visible = window->rect();
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->focusPolicy() == Qt::NoFocus || w->isHidden() || w->accessibleDescription().isEmpty())
            continue;
        const QRect box(w->mapTo(window, QPoint(0, 0)), w->size());
        if (!visible.intersects(box)) {
            // Parked controls stay out of the keyboard's way.
            w->setFocusPolicy(Qt::ClickFocus);
            continue;
        }
        chain.push_back(w);
    }
    // Controls whose tops lie close together share a row; rows read left to right.
    std::vector<std::pair<QWidget*, QPoint>> placed;
    for (QWidget* w : chain)
        placed.emplace_back(w, w->mapTo(window, QPoint(0, 0)));
    std::stable_sort(placed.begin(), placed.end(),
                     [](const auto& a, const auto& b) { return a.second.y() < b.second.y(); });
    std::vector<std::tuple<int, int, QWidget*>> keyed;
    int row = 0;
    int rowTop = placed.empty() ? 0 : placed.front().second.y();
    for (const auto& [w, pos] : placed) {
        if (pos.y() - rowTop > 10) {
            ++row;
            rowTop = pos.y();
        }
        keyed.emplace_back(row, pos.x(), w);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return std::pair(std::get<0>(a), std::get<1>(a)) < std::pair(std::get<0>(b), std::get<1>(b));
    });
    chain.clear();
    for (const auto& k : keyed)
        chain.push_back(std::get<2>(k));
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

} // namespace rankmoth::shell
