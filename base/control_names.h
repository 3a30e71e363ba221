#pragma once

#include <array>
#include <string_view>

// Design names (UTF-8 objectNames) of the controls the program addresses, each typed here only. A control
// layer ignores a name it does not know, so a misspelt literal would fail silently in the window; the
// windows are built from these constants and the test fakes refuse any name missing from the lists below.
// Captions nobody writes (the static labels of the main window) keep their names in the design table.
namespace rankmoth::base::names {

namespace main_window {
inline constexpr std::string_view kTabs = "选择夹1";
inline constexpr std::string_view kResultList = "超级列表框1";
inline constexpr std::string_view kItemCountLabel = "标签_宝贝ID个数";
inline constexpr std::string_view kProgressLabel = "标签_进度提示";
inline constexpr std::string_view kSoundBox = "选择框_提示音";
inline constexpr std::string_view kShopIdBox = "编辑框_优店ID";
inline constexpr std::string_view kShopLoadButton = "按钮_自动加载全店宝贝ID";
inline constexpr std::string_view kSupportButton1 = "超级按钮_客服1";
inline constexpr std::string_view kSupportButton2 = "超级按钮_客服2";
inline constexpr std::string_view kSupportButton3 = "超级按钮_客服3";
inline constexpr std::string_view kTutorialLink = "超级链接框2";
inline constexpr std::string_view kPopRadio = "单选框_先查潮流";
inline constexpr std::string_view kHottestRadio = "单选框_先查最热";
inline constexpr std::string_view kNewestRadio = "单选框_先查最新";
inline constexpr std::string_view kPageLimitBox = "编辑框_最多页";
inline constexpr std::string_view kImportButton = "按钮_导入优店宝贝ID";
inline constexpr std::string_view kCategoryCombo = "组合框_大分类";
inline constexpr std::string_view kSubCategoryCombo = "组合框_小分类";
inline constexpr std::string_view kAddSubCategoryButton = "按钮_添加小分类";
inline constexpr std::string_view kShopOnlyBox = "选择框_只看优店";
inline constexpr std::string_view kOpenButton = "按钮_导入优店宝贝ID1";
inline constexpr std::string_view kSaveButton = "按钮_导入优店宝贝ID2";
inline constexpr std::string_view kIntervalBox = "编辑框_检索间隔";
inline constexpr std::string_view kMonitorPanel = "画板1";
inline constexpr std::string_view kAutomaticRadio = "单选框_自动监测";
inline constexpr std::string_view kManualRadio = "单选框_手动查询";
inline constexpr std::string_view kQueryButton = "按钮_查询大类排名";
inline constexpr std::string_view kSubQueryButton = "按钮_查询小类排名";
inline constexpr std::string_view kStopButton = "按钮_停止查询1";
inline constexpr std::string_view kForumPicture = "图片框1";
inline constexpr std::string_view kSoftwarePicture = "图片框2";
inline constexpr std::string_view kFernlaneArea = "透明标签_Fernlane软件";
inline constexpr std::string_view kTarnbayArea = "透明标签_Tarnbay软件";
inline constexpr std::string_view kHelpBrowser = "超文本浏览框2";
// Parked beyond the client area.
inline constexpr std::string_view kKeywordBox = "编辑框_关键词";
inline constexpr std::string_view kHintLabel = "标签_提示";
inline constexpr std::string_view kTitleLink = "超级链接框1";
inline constexpr std::string_view kParkedStopButton = "按钮_停止查询";
// Not drawn from the design table.
inline constexpr std::string_view kStatusBar = "状态条1";
// The status bar's first part, addressed as a control of its own (its tip).
inline constexpr std::string_view kStatusStatePart = "状态条1#0";
inline constexpr std::string_view kFileDialog = "通用对话框1";
inline constexpr std::string_view kMonitorTimer = "时钟_监测间隔";
inline constexpr std::string_view kNewsTimer = "时钟_在线统计";
inline constexpr std::string_view kSiteConfigTimer = "时钟_网站配置";
inline constexpr std::string_view kAutoSearchTimer = "时钟_自动检索";
inline constexpr std::string_view kDockTimer = "时钟_靠侧边";
inline constexpr std::string_view kTrayMenu = "托盘菜单";
inline constexpr std::string_view kContextMenu = "右键菜单";

inline constexpr std::array kAll = {
    kTabs,
    kResultList,
    kItemCountLabel,
    kProgressLabel,
    kSoundBox,
    kShopIdBox,
    kShopLoadButton,
    kSupportButton1,
    kSupportButton2,
    kSupportButton3,
    kTutorialLink,
    kPopRadio,
    kHottestRadio,
    kNewestRadio,
    kPageLimitBox,
    kImportButton,
    kCategoryCombo,
    kSubCategoryCombo,
    kAddSubCategoryButton,
    kShopOnlyBox,
    kOpenButton,
    kSaveButton,
    kIntervalBox,
    kMonitorPanel,
    kAutomaticRadio,
    kManualRadio,
    kQueryButton,
    kSubQueryButton,
    kStopButton,
    kForumPicture,
    kSoftwarePicture,
    kFernlaneArea,
    kTarnbayArea,
    kHelpBrowser,
    kKeywordBox,
    kHintLabel,
    kTitleLink,
    kParkedStopButton,
    kStatusBar,
    kStatusStatePart,
    kFileDialog,
    kMonitorTimer,
    kNewsTimer,
    kSiteConfigTimer,
    kAutoSearchTimer,
    kDockTimer,
    kTrayMenu,
    kContextMenu,
};
} // namespace main_window

namespace update_window {
inline constexpr std::string_view kBanner = "图片框1";
inline constexpr std::string_view kDoneLabel = "标签8";
inline constexpr std::string_view kDownloadButton = "按钮1";
inline constexpr std::string_view kFileLabel = "标签2";
inline constexpr std::string_view kProgressBar = "进度条1";
inline constexpr std::string_view kSizeLabel = "标签10";
inline constexpr std::string_view kDownloadedLabel = "标签11";
inline constexpr std::string_view kPathLabel = "标签7";
inline constexpr std::string_view kSpeedLabel = "标签1";
inline constexpr std::string_view kAverageLabel = "标签3";
inline constexpr std::string_view kPercentLabel = "标签4";
inline constexpr std::string_view kRemainingLabel = "标签9";
inline constexpr std::string_view kModuleList = "超级列表框_模块";
inline constexpr std::string_view kTimer1 = "时钟1";
inline constexpr std::string_view kTimer2 = "时钟2";

inline constexpr std::array kAll = {
    kBanner,       kDoneLabel,       kDownloadButton, kFileLabel,  kProgressBar,
    kSizeLabel,    kDownloadedLabel, kPathLabel,      kSpeedLabel, kAverageLabel,
    kPercentLabel, kRemainingLabel,  kModuleList,     kTimer1,     kTimer2,
};
} // namespace update_window

namespace history_page {
// The "店铺对比" view of the history page: a listing picker over a chart of the watched shops' shares, or a
// line that says why there is nothing to compare.
inline constexpr std::string_view kCompareView = "画板_店铺对比";
inline constexpr std::string_view kCompareListing = "组合框_对比榜单";
inline constexpr std::string_view kCompareChart = "图表_店铺对比";
inline constexpr std::string_view kCompareHint = "标签_对比提示";

inline constexpr std::array kAll = {kCompareView, kCompareListing, kCompareChart, kCompareHint};
} // namespace history_page

} // namespace rankmoth::base::names
