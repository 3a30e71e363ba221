#include "rank/rank_query.h"

#include "rank/listing.h"
#include "web/codecs.h"

#include <algorithm>
#include <cstdint>

namespace rankmoth::rank {

namespace {

using namespace std::chrono_literals;

constexpr std::string_view kWindow = base::kMainWindow;
constexpr std::string_view kHintLabel = "标签_提示";
constexpr std::string_view kPageLimitBox = "编辑框_最多页";
constexpr std::string_view kIntervalBox = "编辑框_检索间隔";
constexpr std::string_view kQueryButton = "按钮_查询大类排名";
constexpr std::string_view kCategoryCombo = "组合框_大分类";
constexpr std::string_view kSubCategoryCombo = "组合框_小分类";
constexpr std::string_view kHottestRadio = "单选框_先查最热";
constexpr std::string_view kNewestRadio = "单选框_先查最新";
constexpr std::string_view kResultList = "超级列表框1";
constexpr std::string_view kProgressLabel = "标签_进度提示";
constexpr std::string_view kSoundBox = "选择框_提示音";
constexpr std::string_view kStatusBar = "状态条1";
constexpr int kStatusPart = 1;

const Text& Caption() {
    static const Text t = "提示"_gbk;
    return t;
}
const Text& PageLimitMessage() {
    static const Text t = "最多页不能＜1、不能＞100哦"_gbk;
    return t;
}

bool PageLimitInRange(long long value) {
    return value >= 1 && value <= 100;
}

Text SelectedComboText(base::Controls& controls, std::string_view combo) {
    const int selected = controls.ComboSelection(kWindow, combo);
    return selected < 0 ? Text{} : controls.ComboEntryText(kWindow, combo, selected);
}

} // namespace

RankQuery::RankQuery(RankEnv env) : env_(std::move(env)) {}

void RankQuery::RestoreHintLater() {
    static const Text kUsualHint = "关键词可以为: 主人ID、宝贝ID"_gbk;
    if (!env_.later)
        return;
    base::Controls& controls = env_.controls;
    env_.later(10s, [&controls] {
        controls.SetText(kWindow, kHintLabel, kUsualHint);
        for (const std::string_view control : {kQueryButton, kIntervalBox})
            controls.SetToolTip(kWindow, control, Text());
    });
}

void RankQuery::ShowHint(const Text& hint, std::string_view control) {
    base::Controls& c = env_.controls;
    c.SetText(kWindow, kHintLabel, hint);
    // One hint stands at a time: a tip left at another control would outlive its text.
    for (const std::string_view other : {kQueryButton, kIntervalBox})
        if (other != control)
            c.SetToolTip(kWindow, other, Text());
    c.SetToolTip(kWindow, control, hint);
    RestoreHintLater();
}

bool RankQuery::PrepareQuery() {
    static const Text kRunning = "提示：当前正在进行查询哦~"_gbk;
    static const Text kNoItems = "还木有要查询的宝贝！请导入宝贝ID或加载宝贝ID"_gbk;
    base::Controls& c = env_.controls;
    QueryState& s = env_.state;

    if (s.running) {
        ShowHint(kRunning, kQueryButton);
        return true;
    }
    if (env_.items.ShopItemCount <= 0) {
        c.MessageBox(kNoItems, base::kIconExclamation, Caption());
        return true;
    }
    const long long limit = BoxInteger(c.GetText(kWindow, kPageLimitBox));
    if (!PageLimitInRange(limit)) {
        // The value is kept as read, as every start does; a refused start never runs with it.
        s.pageLimit = static_cast<int>(std::clamp<long long>(limit, INT32_MIN, INT32_MAX));
        writingPageLimit_ = true;
        c.SetText(kWindow, kPageLimitBox, Text("100"));
        writingPageLimit_ = false;
        c.MessageBox(PageLimitMessage(), base::kIconExclamation, Caption());
        return true;
    }
    s.pageLimit = static_cast<int>(limit);
    s.categorySlug = CategorySlug(SelectedComboText(c, kCategoryCombo));
    s.subCategoryFields = SplitAll(SelectedComboText(c, kSubCategoryCombo), Text("|"));
    const SortChoice sort = SortFor(c.IsChecked(kWindow, kHottestRadio), c.IsChecked(kWindow, kNewestRadio));
    s.sortKey = sort.key;
    s.sortLabel = sort.label;
    s.interval =
        static_cast<int>(std::clamp<long long>(BoxInteger(c.GetText(kWindow, kIntervalBox)), INT32_MIN, INT32_MAX));
    s.stopRequested = false;
    s.pageNumber = 0;
    return false;
}

void RankQuery::RunRankQuery() {
    static const Text kStopped = " 查询已停止"_gbk;
    if (PrepareQuery())
        return;
    QueryState& s = env_.state;
    s.running = true;
    env_.controls.DeleteAllRows(kWindow, kResultList);
    WalkListing();
    s.running = false;
    if (s.stopRequested)
        env_.controls.SetStatusText(kWindow, kStatusBar, kStatusPart, kStopped);
}

bool RankQuery::StopHonoured() {
    return env_.state.stopRequested;
}

void RankQuery::WalkListing() {
    QueryState& s = env_.state;
    for (;;) {
        ++s.pageNumber;
        Text pageUrl = ListingPageUrl(env_.marketHost, s.categorySlug, s.pageNumber, s.sortKey);
        const Text page = TextOf(env_.transport.get(pageUrl));
        if (StopHonoured())
            return;
        const ListingPageValues values = CutListingPage(page);
        const std::string book = web::UrlEncode(values.book, true, &env_.pump);
        Text token = values.token;
        for (int slice = 1; slice <= 10; ++slice) {
            Text sliceUrl = SliceUrl(env_.marketHost);
            const Bytes answer = env_.transport.post(sliceUrl, SliceBody(token, book, slice, values.total));
            if (StopHonoured())
                return;
            const Text sliceText = web::DecodeEscapes(TextOf(answer));
            token = CutSliceToken(sliceText);
            CheckItemsInSlice(sliceText, slice);
            if (StopHonoured())
                return;
        }
        if (s.pageNumber >= s.pageLimit)
            return;
        if (IsListingEnd(page))
            return;
    }
}

void RankQuery::CheckItemsInSlice(const Text& slice, int sliceIndex) {
    base::Controls& c = env_.controls;
    const QueryState& s = env_.state;
    const std::vector<sources::ShopItem> items = env_.items.Snapshot();
    const GbkHaystack haystack(slice);
    for (std::size_t k = 0; k < items.size(); ++k) {
        const int j = static_cast<int>(k) + 1;
        const sources::ShopItem& item = items[k];
        c.SetText(kWindow, kProgressLabel, ItemProgressCaption(j, item.id));
        if (haystack.Contains(item.title)) {
            const int r = c.RowCount(kWindow, kResultList);
            const int row = c.AddRow(kWindow, kResultList, TextOfInteger(r + 1));
            c.SetCellText(kWindow, kResultList, row, 1, MaskItemId(item.id));
            c.SetCellText(kWindow, kResultList, row, 2, RankPositionText(s.pageNumber, sliceIndex));
            c.SetCellText(kWindow, kResultList, row, 3, s.sortLabel);
            const CellColours colours = SortCellColours(s.sortLabel);
            env_.colours.SetCellColour(c, kWindow, kResultList, row, 3, colours.text, colours.background, true);
            c.SetCellText(kWindow, kResultList, row, 4, FormatQueryTime(env_.now ? env_.now() : LocalNow()));
            c.ScrollRowIntoView(kWindow, kResultList, row);
            if (c.IsChecked(kWindow, kSoundBox))
                c.PlayAlertSound();
        }
        c.SetStatusText(kWindow, kStatusBar, kStatusPart,
                        QueryProgressStatus(s.sortLabel, s.pageNumber, sliceIndex, j));
        env_.pump.PumpingWait(100ms);
        env_.pump.DispatchPending();
        if (StopHonoured())
            return;
    }
}

void RankQuery::RequestStop() {
    env_.state.stopRequested = true;
}

void RankQuery::PageLimitFocus() {
    rememberedPageLimit_ = TrimSpaces(env_.controls.GetText(kWindow, kPageLimitBox));
}

void RankQuery::PageLimitChanged() {
    // Putting the remembered text back changes the box again; that change is ours and is not checked.
    if (writingPageLimit_)
        return;
    base::Controls& c = env_.controls;
    const long long value = BoxInteger(c.GetText(kWindow, kPageLimitBox));
    if (!PageLimitInRange(value)) {
        writingPageLimit_ = true;
        c.SetText(kWindow, kPageLimitBox, rememberedPageLimit_);
        writingPageLimit_ = false;
        c.MessageBox(PageLimitMessage(), base::kIconExclamation, Caption());
        return;
    }
    env_.state.pageLimit = static_cast<int>(value);
}

} // namespace rankmoth::rank
